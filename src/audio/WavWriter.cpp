#include "audio/WavWriter.h"

#include "audio/WavHeader.h"

namespace velmora {

namespace {

// Clamps to the sample range, NaN to 0; the caller's conversion truncates toward zero. Written
// without branches, so that the encoding loops vectorise.
double clamped(double x, double low, double high) {
  const double inside = x < low ? low : (x > high ? high : x);
  return x == x ? inside : 0.0;
}

}  // namespace

WavWriter::WavWriter(const std::string& name, const SignalFormat& signalFormat, std::int64_t samples)
    : file(name), format(signalFormat), count(samples) {}

std::size_t WavWriter::encode(const double* samples, std::size_t n, int bits, unsigned char* out) {
  if (bits == 8) {
    for (std::size_t i = 0; i < n; ++i) {
      out[i] = static_cast<std::uint8_t>(clamped(samples[i], 0.0, 255.0));
    }
    return n;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(clamped(samples[i], -32768.0, 32767.0)));
    out[2 * i] = static_cast<unsigned char>(value);
    out[2 * i + 1] = static_cast<unsigned char>(value >> 8);
  }
  return 2 * n;
}

void WavWriter::run(BlockQueue& samples) {
  writeHeader();
  SampleBlock block;
  while (samples.pop(block)) {
    if (!failure) {
      bytes.resize(block.size() * 2);
      const std::size_t written = encode(block.data(), block.size(), format.bitspersample, bytes.data());
      if (!file.write(bytes.data(), written)) {
        fail("Error writing buffer!");
      }
    }
    samples.giveBack(std::move(block));
  }
}

void WavWriter::writeHeader() {
  if (format.bitspersample != 8 && format.bitspersample != 16) {
    failure = "Invalid bits per sample " + std::to_string(format.bitspersample);
    return;
  }
  const auto header = savedHeaderBytes(format.samplerate, format.channels, format.bitspersample, count);
  if (!file.open()) {
    fail("I/O error");
  } else if (!file.write(header.data(), wavHeaderSize)) {
    fail("Error writing wav!");
  } else if (!file.write(header.data() + wavHeaderSize, chunkHeaderSize)) {
    fail("Error writing chk!");
  }
}

void WavWriter::fail(const char* message) {
  failure = message;
  file.discard();
}

std::optional<std::string> WavWriter::commit() {
  if (!failure && !file.commit()) {
    fail("Error writing buffer!");
  }
  return failure;
}

}  // namespace velmora
