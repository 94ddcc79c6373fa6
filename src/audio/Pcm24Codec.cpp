#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "audio/SampleCodec.h"
#include "stream/VectorUnits.h"

// 24-bit PCM: three little-endian bytes per sample, worked in 16-bit units (a sample is its value
// / 256), so that thresholds, presets and the bass boost do the same to it as to 16-bit audio.

namespace velmora {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Four samples from the twelve bytes at p (it reads sixteen): each moved to the top three bytes of a
// 32-bit lane, then shifted down with its sign.
__attribute__((target("avx2"))) __m128i wordsAt(const unsigned char* p) {
  const __m128i spread = _mm_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
  return _mm_srai_epi32(_mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), spread), 8);
}

// Eight samples at a time, while the loads stay within the bytes.
__attribute__((target("avx2"))) std::size_t decodeWide(const unsigned char* bytes, std::size_t count, double* samples) {
  const __m256d scale = _mm256_set1_pd(1.0 / 256);
  std::size_t i = 0;
  for (; i + 10 <= count; i += 8) {
    _mm256_storeu_pd(samples + i, _mm256_mul_pd(_mm256_cvtepi32_pd(wordsAt(bytes + 3 * i)), scale));
    _mm256_storeu_pd(samples + i + 4, _mm256_mul_pd(_mm256_cvtepi32_pd(wordsAt(bytes + 3 * i + 12)), scale));
  }
  return i;
}

// Four samples at a time: scaled, NaN masked to 0, clamped, truncated, their low three bytes packed
// (the store writes sixteen; the next overwrites the four after the twelve).
__attribute__((target("avx2"))) std::size_t encodeWide(const double* samples, std::size_t count, unsigned char* bytes) {
  const __m256d scale = _mm256_set1_pd(256.0);
  const __m256d low = _mm256_set1_pd(-8388608.0);
  const __m256d high = _mm256_set1_pd(8388607.0);
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  std::size_t i = 0;
  for (; i + 6 <= count; i += 4) {
    __m256d x = _mm256_mul_pd(_mm256_loadu_pd(samples + i), scale);
    x = _mm256_and_pd(x, _mm256_cmp_pd(x, x, _CMP_ORD_Q));
    const __m128i words = _mm256_cvttpd_epi32(_mm256_max_pd(low, _mm256_min_pd(high, x)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + 3 * i), _mm_shuffle_epi8(words, pack));
  }
  return i;
}
#else
std::size_t decodeWide(const unsigned char*, std::size_t, double*) { return 0; }
std::size_t encodeWide(const double*, std::size_t, unsigned char*) { return 0; }
#endif

class Pcm24Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 3; }
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = VectorUnits::wide() ? decodeWide(bytes, count, samples) : 0; i < count; ++i) {
      const unsigned char* p = bytes + 3 * i;
      const auto value = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 | static_cast<std::uint32_t>(p[1]) << 16 |
                                                   static_cast<std::uint32_t>(p[2]) << 24) >> 8;
      samples[i] = static_cast<double>(value) * (1.0 / 256);
    }
  }
  // Clamped to the format's range and truncated toward zero at its resolution, as 16-bit samples
  // are at theirs; NaN as 0.
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    for (std::size_t i = VectorUnits::wide() ? encodeWide(samples, count, bytes) : 0; i < count; ++i) {
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
