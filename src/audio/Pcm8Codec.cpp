#include <cstdint>

#include "audio/SampleCodec.h"

// 8-bit PCM: one unsigned byte per sample, in the format's own units 0 to 255 (silence is 128),
// neither moved around zero nor scaled.

namespace velmora {

namespace {

class Pcm8Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 1; }
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = 0; i < count; ++i) {
      samples[i] = static_cast<double>(bytes[i]);
    }
  }
  // Clamped to 0..255 and truncated toward zero; NaN as 0.
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const double x = samples[i];
      const double inside = x < 0.0 ? 0.0 : (x > 255.0 ? 255.0 : x);
      bytes[i] = static_cast<std::uint8_t>(x == x ? inside : 0.0);
    }
  }
};

}  // namespace

const SampleCodec& pcm8Codec() {
  static const Pcm8Codec codec;
  return codec;
}

}  // namespace velmora
