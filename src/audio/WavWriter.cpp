#include "audio/WavWriter.h"

#include <algorithm>
#include <bit>

#include "audio/WavHeader.h"
#include "system/ProcessExit.h"

namespace velmora {

namespace {

// Clamps to the sample range, NaN to 0; the caller's conversion truncates toward zero. Written
// without branches, so that the encoding loops vectorise.
double clamped(double x, double low, double high) {
  const double inside = x < low ? low : (x > high ? high : x);
  return x == x ? inside : 0.0;
}

[[noreturn]] void fail(const std::string& message) { throw Failure{message, exitFileFailure}; }

}  // namespace

WavWriter::WavWriter(const std::string& name, const SignalFormat& signalFormat, std::int64_t samples, BlockPool& spare)
    : file(name), format(signalFormat), count(samples), remaining(samples), pool(spare) {}

std::size_t WavWriter::encode(const double* samples, std::size_t n, int bits, unsigned char* out) {
  if (bits == 8) {
    for (std::size_t i = 0; i < n; ++i) {
      out[i] = static_cast<std::uint8_t>(clamped(samples[i], 0.0, 255.0));
    }
    return n;
  }
  if constexpr (std::endian::native == std::endian::little) {
    // The host's own 16-bit integers are the file's bytes: whole vectors of them are stored at once.
    std::int16_t* values = reinterpret_cast<std::int16_t*>(out);
    for (std::size_t i = 0; i < n; ++i) {
      values[i] = static_cast<std::int16_t>(clamped(samples[i], -32768.0, 32767.0));
    }
  } else {
    for (std::size_t i = 0; i < n; ++i) {
      const auto value = static_cast<std::uint16_t>(static_cast<std::int16_t>(clamped(samples[i], -32768.0, 32767.0)));
      out[2 * i] = static_cast<unsigned char>(value);
      out[2 * i + 1] = static_cast<unsigned char>(value >> 8);
    }
  }
  return 2 * n;
}

void WavWriter::step(SampleBlock&& block, BlockSink&) {
  begin();
  const auto n = static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(block.size())));
  bytes.resize(2 * n);
  const std::size_t written = encode(block.data(), n, format.bitspersample, bytes.data());
  pool.giveBack(std::move(block));
  if (!file.write(bytes.data(), written)) {
    fail("Error writing buffer!");
  }
  remaining -= static_cast<std::int64_t>(n);
}

void WavWriter::drain(BlockSink&) { begin(); }

void WavWriter::begin() {
  if (begun) {
    return;
  }
  begun = true;
  if (format.bitspersample != 8 && format.bitspersample != 16) {
    fail("Invalid bits per sample " + std::to_string(format.bitspersample));
  }
  const auto header = savedHeaderBytes(format.samplerate, format.channels, format.bitspersample, count);
  if (!file.open()) {
    fail("I/O error");
  }
  if (!file.write(header.data(), wavHeaderSize)) {
    fail("Error writing wav!");
  }
  if (!file.write(header.data() + wavHeaderSize, chunkHeaderSize)) {
    fail("Error writing chk!");
  }
}

void WavWriter::commit() {
  const std::string failure = file.commit();
  if (!failure.empty()) {
    fail(failure);
  }
}

}  // namespace velmora
