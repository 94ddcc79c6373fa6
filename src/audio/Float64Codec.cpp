#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "audio/SampleCodec.h"

// 64-bit IEEE floating point, full scale 1.0, worked in 16-bit units (a sample is its value times
// 32768). Outputs are not clipped at full scale (only -T clamps); NaN is written as 0. A sample
// that is no number or infinite is read as 0, and one beyond 2^64 in 16-bit units (2^49 times full
// scale) as that bound, so that the squares of the compressor's windows stay finite and one
// damaged sample cannot take its level or the bass filter's state with it for the rest of the run.

namespace velmora {

namespace {

constexpr double largest = 0x1p64;

class Float64Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 8; }
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint64_t word = 0;
      for (int b = 7; b >= 0; --b) {
        word = word << 8 | bytes[8 * i + static_cast<std::size_t>(b)];
      }
      const double value = std::bit_cast<double>(word) * 32768;
      samples[i] = !std::isfinite(value) ? 0.0 : std::clamp(value, -largest, largest);
    }
  }
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const double x = samples[i];
      const auto word = std::bit_cast<std::uint64_t>(x == x ? x * (1.0 / 32768) : 0.0);
      for (int b = 0; b < 8; ++b) {
        bytes[8 * i + static_cast<std::size_t>(b)] = static_cast<unsigned char>(word >> (8 * b));
      }
    }
  }
};

}  // namespace

const SampleCodec& float64Codec() {
  static const Float64Codec codec;
  return codec;
}

}  // namespace velmora
