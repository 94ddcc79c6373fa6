#pragma once

#include <memory>
#include <string>

#include "system/ByteSource.h"

// An input file open for reading, shared by the reader and the cursors that read its samples
// again. Its size is taken when it is opened; a file cut short later fails the reads past its new
// end. Standard input ("-") and pipes (a named one, /dev/stdin) are first taken whole into an
// unnamed temporary file, so that their length is known before the samples are worked on and long
// windows can read them again.

namespace velmora {

class InputFile : public ByteSource {
 public:
  // The file named ("-" for standard input), or nothing where it cannot be opened (a folder, a
  // missing file, a pipe whose bytes find no room).
  static std::shared_ptr<InputFile> open(const std::string& name);
  explicit InputFile(int descriptor, std::int64_t size) : descriptor(descriptor), length(size) {}
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() override;

  std::int64_t size() const override { return length; }
  std::int64_t readAt(std::int64_t offset, unsigned char* bytes, std::size_t count) const override;

 private:
  int descriptor;
  std::int64_t length;
};

}  // namespace velmora
