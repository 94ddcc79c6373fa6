#include <cstdint>

#include "audio/SampleCodec.h"

// 32-bit PCM: four little-endian bytes per sample, worked in 16-bit units (a sample is its value
// / 65536).

namespace velmora {

namespace {

class Pcm32Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 4; }
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned char* p = bytes + 4 * i;
      const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                                   static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
      samples[i] = static_cast<double>(value) * (1.0 / 65536);
    }
  }
  // Clamped to the format's range and truncated toward zero at its resolution; NaN as 0.
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const double x = samples[i] * 65536;
      const double inside = x < -2147483648.0 ? -2147483648.0 : (x > 2147483647.0 ? 2147483647.0 : x);
      const auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(x == x ? inside : 0.0));
      for (int b = 0; b < 4; ++b) {
        bytes[4 * i + static_cast<std::size_t>(b)] = static_cast<unsigned char>(value >> (8 * b));
      }
    }
  }
};

}  // namespace

const SampleCodec& pcm32Codec() {
  static const Pcm32Codec codec;
  return codec;
}

}  // namespace velmora
