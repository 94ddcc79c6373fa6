#include "dsp/WindowSum.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "stream/VectorUnits.h"

namespace velmora {

namespace {

#if defined(__x86_64__) || defined(__i386__)
// The squares of the sums of neighbouring samples from at on, four of them: for the samples a, b,
// c, ... at at, at + 1, at + 2, ..., (a + b)^2, (b + c)^2, and so on.
__attribute__((target("avx2"))) __m256d squaredSums(const double* at) {
  const __m256d sums = _mm256_add_pd(_mm256_loadu_pd(at), _mm256_loadu_pd(at + 1));
  return _mm256_mul_pd(sums, sums);
}

// The four pairs' steps from the fronts' terms and the backs' from 2k on: pair k's step is
// (a + b)^2 + (b + c)^2 of the samples a, b, c at 2k, 2k + 1, 2k + 2 at the front, less the same at
// the back. Every term and every sum of them is a whole number below 2^53, so each is exact and
// the order of the additions does not change a bit.
__attribute__((target("avx2"))) __m256d stepsAt(const double* front, const double* back) {
  const __m256d low = _mm256_sub_pd(squaredSums(front), squaredSums(back));
  const __m256d high = _mm256_sub_pd(squaredSums(front + 4), squaredSums(back + 4));
  return _mm256_permute4x64_pd(_mm256_hadd_pd(low, high), 0xD8);
}

// Four steps at a time, their running sum formed within the vector and carried from one to the
// next. Every partial sum is a whole number of quarters below 2^53, so each addition is exact, and
// the values are those of the direct loop bit for bit.
__attribute__((target("avx2"))) std::int64_t slideWide(const double* front2, const double* back2, std::int64_t count,
                                                      double start, double* values) {
  const __m256d zero = _mm256_setzero_pd();
  const __m256d quarter = _mm256_set1_pd(0.25);
  __m256d carry = _mm256_set1_pd(start);
  std::int64_t k = 0;
  for (; k + 4 <= count; k += 4) {
    __m256d step = stepsAt(front2 + 2 * k, back2 + 2 * k);
    step = _mm256_add_pd(step, _mm256_blend_pd(_mm256_permute4x64_pd(step, 0x90), zero, 0x1));
    step = _mm256_add_pd(step, _mm256_blend_pd(_mm256_permute4x64_pd(step, 0x40), zero, 0x3));
    const __m256d sums = _mm256_add_pd(carry, step);
    _mm256_storeu_pd(values + k, _mm256_mul_pd(sums, quarter));
    carry = _mm256_permute4x64_pd(sums, 0xFF);
  }
  return k;
}
#else
std::int64_t slideWide(const double*, const double*, std::int64_t, double, double*) { return 0; }
#endif

// Pair k's step from its samples at the front and the back (each from 2k on): its two terms that
// enter less its two that leave, each term four times its value.
double pairStep(const double* f, const double* b) {
  const auto term = [](double x, double y) { return (x + y) * (x + y); };
  return (term(f[0], f[1]) + term(f[1], f[2])) - (term(b[0], b[1]) + term(b[1], b[2]));
}

// The vector slide, then the steps after its last four one by one, going on from its last value,
// four times which is its exact sum. Gives the window's last sum, four times its value.
std::int64_t slideWideByPairs(const double* front2, const double* back2, std::int64_t count, std::int64_t start,
                              double* values) {
  const std::int64_t done = slideWide(front2, back2, count, static_cast<double>(start), values);
  double sum = values[done - 1] * 4;
  for (std::int64_t k = done; k < count; ++k) {
    sum += pairStep(front2 + 2 * k, back2 + 2 * k);
    values[k] = sum * 0.25;
  }
  return static_cast<std::int64_t>(sum);
}

// The running sum of the steps in four chains, each over a quarter of them and each step of the
// four made together, then each quarter moved up by the sums before it: every partial sum is a
// whole number of quarters below 2^53, so each addition is exact and their order does not change a
// bit, while the chains wait on their own additions side by side. Gives the window's last sum,
// four times its value.
std::int64_t slideDirectByPairs(const double* front2, const double* back2, std::int64_t count, std::int64_t start,
                                double* values) {
  for (std::int64_t k = 0; k < count; ++k) {
    values[k] = pairStep(front2 + 2 * k, back2 + 2 * k);
  }
  const std::int64_t part = count / 4;
  double* quarter[4] = {values, values + part, values + 2 * part, values + 3 * part};
  double chain[4] = {0, 0, 0, 0};
  for (std::int64_t k = 0; k < part; ++k) {
    for (int c = 0; c < 4; ++c) {
      chain[c] += quarter[c][k];
      quarter[c][k] = chain[c];
    }
  }
  for (std::int64_t k = part; k < count - 3 * part; ++k) {  // the last quarter's few more steps
    chain[3] += quarter[3][k];
    quarter[3][k] = chain[3];
  }
  auto offset = static_cast<double>(start);
  for (int c = 0; c < 4; ++c) {
    const std::int64_t length = c < 3 ? part : count - 3 * part;
    for (std::int64_t k = 0; k < length; ++k) {
      quarter[c][k] = (quarter[c][k] + offset) * 0.25;
    }
    offset += chain[c];
  }
  return static_cast<std::int64_t>(offset);
}

}  // namespace

void WindowSum::slideByPairs(std::int64_t count, double* values) {
  const double* front2 = samples + (front - origin);
  const double* back2 = samples + (back - origin);
  quadruple = VectorUnits::wide() && count >= 4 ? slideWideByPairs(front2, back2, count, quadruple, values)
                                                : slideDirectByPairs(front2, back2, count, quadruple, values);
  back += 2 * count;
  front += 2 * count;
}

}  // namespace velmora
