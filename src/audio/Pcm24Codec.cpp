#include <cstdint>

#include "audio/SampleCodec.h"

// 24-bit PCM: three little-endian bytes per sample, worked in 16-bit units (a sample is its value
// / 256), so that thresholds, presets and the bass boost do the same to it as to 16-bit audio.

namespace velmora {

namespace {

class Pcm24Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 3; }
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned char* p = bytes + 3 * i;
      const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 | static_cast<std::uint32_t>(p[1]) << 16 |
                                                   static_cast<std::uint32_t>(p[2]) << 24) >> 8;
      samples[i] = static_cast<double>(value) * (1.0 / 256);
    }
  }
  // Clamped to the format's range and truncated toward zero at its resolution, as 16-bit samples
  // are at theirs; NaN as 0.
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const double x = samples[i] * 256;
      const double inside = x < -8388608.0 ? -8388608.0 : (x > 8388607.0 ? 8388607.0 : x);
      const auto value = static_cast<std::uint32_t>(static_cast<std::int32_t>(x == x ? inside : 0.0));
      bytes[3 * i] = static_cast<unsigned char>(value);
      bytes[3 * i + 1] = static_cast<unsigned char>(value >> 8);
      bytes[3 * i + 2] = static_cast<unsigned char>(value >> 16);
    }
  }
};

}  // namespace

const SampleCodec& pcm24Codec() {
  static const Pcm24Codec codec;
  return codec;
}

}  // namespace velmora
