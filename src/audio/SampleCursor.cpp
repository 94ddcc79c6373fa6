#include "audio/SampleCursor.h"

#include <algorithm>

#include "audio/WavReader.h"
#include "system/FileNames.h"
#include "system/ProcessExit.h"

namespace velmora {

namespace {
constexpr std::int64_t bufferSamples = std::int64_t{1} << 14;
}  // namespace

SampleCursor::SampleCursor(const std::string& name, std::int64_t start, const SignalFormat& format)
    : file(pathOf(name), std::ios::binary), dataStart(start), width(format.bitspersample / 8), samples(format.nosamples) {}

void SampleCursor::readFrom(std::int64_t index) {
  const std::int64_t count = std::min(bufferSamples, samples - index);
  bytes.resize(static_cast<std::size_t>(count * width));
  file.clear();
  file.seekg(dataStart + index * width);
  file.read(reinterpret_cast<char*>(bytes.data()), count * width);
  if (file.gcount() != count * width) {
    throw Failure{"Can't read signal data\n", exitFileFailure};  // the file is shorter than it was
  }
  buffer.resize(static_cast<std::size_t>(count));
  decodeSamples(bytes.data(), count, width * 8, buffer.data());
  first = index;
}

}  // namespace velmora
