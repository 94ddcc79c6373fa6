#include "system/InputFile.h"

#include "system/FileNames.h"
#include "system/SystemFiles.h"

namespace velmora {

std::shared_ptr<InputFile> InputFile::open(const std::string& name) {
  int descriptor = name == "-" ? files::openStandardInput() : files::openForReading(pathOf(name));
  if (descriptor >= 0 && files::readWholeFirst(descriptor)) {
    const int pipe = descriptor;
    descriptor = files::takeWhole(pipe);
    files::closeFile(pipe);
  }
  return descriptor < 0 ? nullptr : std::make_shared<InputFile>(descriptor, files::sizeOf(descriptor));
}

InputFile::~InputFile() { files::closeFile(descriptor); }

std::int64_t InputFile::readAt(std::int64_t offset, unsigned char* bytes, std::size_t count) const {
  return files::readAt(descriptor, offset, bytes, count);
}

}  // namespace velmora
