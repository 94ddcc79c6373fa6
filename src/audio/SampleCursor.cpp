#include "audio/SampleCursor.h"

#include <algorithm>

#include "system/Failure.h"

namespace velmora {

namespace {
constexpr std::int64_t bufferSamples = std::int64_t{1} << 14;
}  // namespace

SampleCursor::SampleCursor(std::shared_ptr<const ByteSource> bytes, std::int64_t start, const SampleCodec& sampleCodec,
                           std::int64_t count)
    : source(std::move(bytes)), dataStart(start), codec(sampleCodec), samples(count) {}

void SampleCursor::readFrom(std::int64_t index) {
  const std::int64_t count = std::min(bufferSamples, samples - index);
  const std::int64_t width = codec.bytesPerSample();
  bytes.resize(static_cast<std::size_t>(count * width));
  if (source->readAt(dataStart + index * width, bytes.data(), bytes.size()) != count * width) {
    throw Failure{"Can't read signal data\n", exitFileFailure};  // the file is shorter than it was
  }
  buffer.resize(static_cast<std::size_t>(count));
  codec.decode(bytes.data(), static_cast<std::size_t>(count), buffer.data());
  first = index;
}

}  // namespace velmora
