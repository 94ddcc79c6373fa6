#include <bit>
#include <cstdint>
#include <cstring>

#include "audio/SampleCodec.h"

// 16-bit PCM: two little-endian bytes per sample, -32768 to 32767, the program's own units.

namespace velmora {

namespace {

class Pcm16Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 2; }

  // On a little-endian host the bytes are the host's own integers: a plain load, which lets the
  // conversion vectorise.
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = 0; i < count; ++i) {
      std::int16_t value = 0;
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&value, bytes + 2 * i, 2);
      } else {
        value = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
      }
      samples[i] = static_cast<double>(value);
    }
  }

  // Clamped to -32768..32767 and truncated toward zero; NaN as 0. Written without branches, so that
  // the loop vectorises.
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    for (std::size_t i = 0; i < count; ++i) {
      const double x = samples[i];
      const double inside = x < -32768.0 ? -32768.0 : (x > 32767.0 ? 32767.0 : x);
      const auto value = static_cast<std::int16_t>(x == x ? inside : 0.0);
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(bytes + 2 * i, &value, 2);
      } else {
        bytes[2 * i] = static_cast<unsigned char>(value);
        bytes[2 * i + 1] = static_cast<unsigned char>(static_cast<std::uint16_t>(value) >> 8);
      }
    }
  }
};

}  // namespace

const SampleCodec& pcm16Codec() {
  static const Pcm16Codec codec;
  return codec;
}

}  // namespace velmora
