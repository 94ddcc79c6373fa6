#include <bit>
#include <cstdint>
#include <limits>

#include "audio/SampleCodec.h"

// 32-bit IEEE floating point, full scale 1.0, worked in 16-bit units (a sample is its value
// times 32768). Outputs are not clipped at full scale: that headroom is why audio is kept in
// floating point (only -T clamps); NaN is written as 0.

namespace velmora {

namespace {

class Float32Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 4; }
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned char* p = bytes + 4 * i;
      const std::uint32_t word = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                 static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
      samples[i] = static_cast<double>(std::bit_cast<float>(word)) * 32768;
    }
  }
  // Values beyond the format's largest become infinities, as the conversion rounds them.
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    constexpr double largest = std::numeric_limits<float>::max();
    constexpr auto infinity = std::numeric_limits<float>::infinity();
    for (std::size_t i = 0; i < count; ++i) {
      const double x = samples[i] == samples[i] ? samples[i] * (1.0 / 32768) : 0.0;
      const float value = x > largest ? infinity : (x < -largest ? -infinity : static_cast<float>(x));
      const auto word = std::bit_cast<std::uint32_t>(value);
      for (int b = 0; b < 4; ++b) {
        bytes[4 * i + static_cast<std::size_t>(b)] = static_cast<unsigned char>(word >> (8 * b));
      }
    }
  }
};

}  // namespace

const SampleCodec& float32Codec() {
  static const Float32Codec codec;
  return codec;
}

}  // namespace velmora
