#include "dsp/Compressor.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "stream/VectorUnits.h"

namespace velmora {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// Four pairs at a time: the gain law by a mask instead of a branch, each gain spread over its
// pair, the clamp's bounds taken so that NaN passes.
__attribute__((target("avx2"))) std::size_t gainsWide(const double* levels, double* x, std::size_t pairs, double t, double s,
                                                     bool truncate) {
  const __m256d threshold = _mm256_set1_pd(t);
  const __m256d slope = _mm256_set1_pd(s);
  const __m256d six = _mm256_set1_pd(6.0);
  const __m256d three = _mm256_set1_pd(3.0);
  const __m256d bound = _mm256_set1_pd(30000.0);
  const __m256d negativeBound = _mm256_set1_pd(-30000.0);
  std::size_t b = 0;
  for (; b + 4 <= pairs; b += 4) {
    const __m256d level = _mm256_loadu_pd(levels + b);
    const __m256d above = _mm256_div_pd(_mm256_sub_pd(six, _mm256_mul_pd(_mm256_sub_pd(level, threshold), slope)), three);
    const __m256d gain = _mm256_blendv_pd(six, above, _mm256_cmp_pd(level, threshold, _CMP_GT_OQ));
    __m256d first = _mm256_mul_pd(_mm256_loadu_pd(x + 2 * b), _mm256_permute4x64_pd(gain, 0x50));
    __m256d second = _mm256_mul_pd(_mm256_loadu_pd(x + 2 * b + 4), _mm256_permute4x64_pd(gain, 0xFA));
    if (truncate) {
      first = _mm256_max_pd(negativeBound, _mm256_min_pd(bound, first));
      second = _mm256_max_pd(negativeBound, _mm256_min_pd(bound, second));
    }
    _mm256_storeu_pd(x + 2 * b, first);
    _mm256_storeu_pd(x + 2 * b + 4, second);
  }
  return b;
}
#else
std::size_t gainsWide(const double*, double*, std::size_t, double, double, bool) { return 0; }
#endif

// Times to sample counts truncate toward zero; values beyond 32 bits saturate instead of
// wrapping into a negative count. Times and rates are numbers, never NaN: so are their products.
std::int32_t toCount(double samples) {
  return static_cast<std::int32_t>(std::clamp(samples, -2147483648.0, 2147483647.0));
}

double coefficient(double milliseconds, double rate) {
  const double seconds = milliseconds * 0.001;
  return seconds == 0 ? 0.0 : std::exp(-1 / (seconds * rate));
}

}  // namespace

Compressor::Compressor(const Settings& settings, double samplerate)
    : t(settings.threshold * 0.01),
      s((settings.slope / 100) * 0.01),
      truncate(settings.truncate) {
  const double r = std::trunc(samplerate);
  ca = coefficient(settings.tatt, r);
  cr = coefficient(settings.trel, r);
  keepA = 1 - ca;
  keepR = 1 - cr;
  wn = toCount(r * (settings.twnd * 0.001));
  ln = toCount(r * (settings.tla * 0.001));
  windowLength = wn;
}

void Compressor::smoothLevels(double& level, double* sums, std::size_t count) const {
  const Compressor c(*this);  // in registers: the block may alias this object
  double smoothed = level;
  bool still = false;
  for (std::size_t from = 0; from < count; from += quietCheckPairs) {
    const std::size_t to = std::min(count, from + quietCheckPairs);
    if (quiet(smoothed)) {
      still = false;
      for (std::size_t b = from; b < to; ++b) {
        c.quietSmooth(smoothed, sums[b], still);
        sums[b] = smoothed;
      }
    } else {
      for (std::size_t b = from; b < to; ++b) {
        smoothed = c.smooth(smoothed, c.detect(sums[b]));
        sums[b] = smoothed;
      }
    }
  }
  level = smoothed;
}

// Levels that stood still throughout have one gain, worked out once: the gain law is slow on a
// subnormal level. In music the second level already differs.
void Compressor::applyGains(const double* levels, double* x, std::size_t pairs) const {
  const Compressor c(*this);
  if (std::all_of(levels, levels + pairs, [levels](double l) { return l == levels[0]; })) {
    const double gain = pairs > 0 ? c.gainAt(levels[0]) : 0.0;
    for (std::size_t i = 0; i < 2 * pairs; ++i) {
      x[i] = c.limit(x[i] * gain);
    }
    return;
  }
  for (std::size_t b = VectorUnits::wide() ? gainsWide(levels, x, pairs, t, s, truncate) : 0; b < pairs; ++b) {
    const double gain = c.gainAt(levels[b]);
    x[2 * b] = c.limit(x[2 * b] * gain);
    x[2 * b + 1] = c.limit(x[2 * b + 1] * gain);
  }
}

}  // namespace velmora
