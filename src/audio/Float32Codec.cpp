#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "audio/SampleCodec.h"
#include "stream/VectorUnits.h"

// 32-bit IEEE floating point, full scale 1.0, worked in 16-bit units (a sample is its value
// times 32768). Outputs are not clipped at full scale: that headroom is why audio is kept in
// floating point (only -T clamps); NaN is written as 0. A sample that is no number or infinite is
// read as 0, so that one damaged sample cannot take the compressor's level or the bass filter's
// state with it for the rest of the run.

namespace velmora {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Infinities and NaN as 0: what is finite is also less than infinity in magnitude.
__attribute__((target("avx2"))) __m256d finite(__m256d x) {
  const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), x);
  return _mm256_and_pd(x, _mm256_cmp_pd(magnitude, _mm256_set1_pd(std::numeric_limits<double>::infinity()), _CMP_LT_OQ));
}

// Eight samples at a time, widened four by four.
__attribute__((target("avx2"))) std::size_t decodeWide(const unsigned char* bytes, std::size_t count, double* samples) {
  const __m256d scale = _mm256_set1_pd(32768.0);
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 values = _mm256_loadu_ps(reinterpret_cast<const float*>(bytes + 4 * i));
    _mm256_storeu_pd(samples + i, finite(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(values)), scale)));
    _mm256_storeu_pd(samples + i + 4, finite(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(values, 1)), scale)));
  }
  return i;
}

// Four samples at a time: NaN masked to 0, scaled, narrowed, with the direct loop's infinities
// beyond the format's largest.
__attribute__((target("avx2"))) std::size_t encodeWide(const double* samples, std::size_t count, unsigned char* bytes) {
  const __m256d scale = _mm256_set1_pd(1.0 / 32768);
  const __m256d largest = _mm256_set1_pd(std::numeric_limits<float>::max());
  const __m256d infinity = _mm256_set1_pd(std::numeric_limits<double>::infinity());
  std::size_t i = 0;
  for (; i + 4 <= count; i += 4) {
    __m256d x = _mm256_loadu_pd(samples + i);
    x = _mm256_mul_pd(_mm256_and_pd(x, _mm256_cmp_pd(x, x, _CMP_ORD_Q)), scale);
    x = _mm256_blendv_pd(x, infinity, _mm256_cmp_pd(x, largest, _CMP_GT_OQ));
    x = _mm256_blendv_pd(x, _mm256_sub_pd(_mm256_setzero_pd(), infinity),
                         _mm256_cmp_pd(x, _mm256_sub_pd(_mm256_setzero_pd(), largest), _CMP_LT_OQ));
    _mm_storeu_ps(reinterpret_cast<float*>(bytes + 4 * i), _mm256_cvtpd_ps(x));
  }
  return i;
}
#else
std::size_t decodeWide(const unsigned char*, std::size_t, double*) { return 0; }
std::size_t encodeWide(const double*, std::size_t, unsigned char*) { return 0; }
#endif

class Float32Codec : public SampleCodec {
 public:
  int bytesPerSample() const override { return 4; }
  void decode(const unsigned char* bytes, std::size_t count, double* samples) const override {
    for (std::size_t i = VectorUnits::wide() ? decodeWide(bytes, count, samples) : 0; i < count; ++i) {
      const unsigned char* p = bytes + 4 * i;
      const std::uint32_t word = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                 static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
      const double value = static_cast<double>(std::bit_cast<float>(word)) * 32768;
      samples[i] = std::isfinite(value) ? value : 0.0;
    }
  }
  // Values beyond the format's largest become infinities, as the conversion rounds them.
  void encode(const double* samples, std::size_t count, unsigned char* bytes) const override {
    constexpr double largest = std::numeric_limits<float>::max();
    constexpr auto infinity = std::numeric_limits<float>::infinity();
    for (std::size_t i = VectorUnits::wide() ? encodeWide(samples, count, bytes) : 0; i < count; ++i) {
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
