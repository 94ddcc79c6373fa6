#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "audio/SampleCodec.h"
#include "stream/VectorUnits.h"

// 16-bit PCM: two little-endian bytes per sample, -32768 to 32767, the program's own units.

namespace velmora {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Eight samples at a time: sign-extended to 32 bits, converted four by four.
__attribute__((target("avx2"))) std::size_t decodeWide(const unsigned char* bytes, std::size_t count, double* samples) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256i values = _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * i)));
    _mm256_storeu_pd(samples + i, _mm256_cvtepi32_pd(_mm256_castsi256_si128(values)));
    _mm256_storeu_pd(samples + i + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(values, 1)));
  }
  return i;
}

// Four samples: NaN masked to 0, clamped, truncated to 32 bits.
__attribute__((target("avx2"))) __m128i clampedWords(__m256d x) {
  x = _mm256_and_pd(x, _mm256_cmp_pd(x, x, _CMP_ORD_Q));
  return _mm256_cvttpd_epi32(_mm256_max_pd(_mm256_set1_pd(-32768.0), _mm256_min_pd(_mm256_set1_pd(32767.0), x)));
}

// Eight samples at a time, packed to 16 bits.
__attribute__((target("avx2"))) std::size_t encodeWide(const double* samples, std::size_t count, unsigned char* bytes) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i packed = _mm_packs_epi32(clampedWords(_mm256_loadu_pd(samples + i)), clampedWords(_mm256_loadu_pd(samples + i + 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + 2 * i), packed);
  }
  return i;
}
#else
std::size_t decodeWide(const unsigned char*, std::size_t, double*) { return 0; }
std::size_t encodeWide(const double*, std::size_t, unsigned char*) { return 0; }
#endif

class Pcm16Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 2; }

  // On a little-endian host the bytes are the host's own integers: a plain load, which lets the
  // conversion vectorise.
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = VectorUnits::wide() ? decodeWide(bytes, count, samples) : 0; i < count; ++i) {
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
    for (std::size_t i = VectorUnits::wide() ? encodeWide(samples, count, bytes) : 0; i < count; ++i) {
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
