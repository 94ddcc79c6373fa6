#include "dsp/WindowSum.h"

#include <algorithm>

namespace velmora {

void WindowSum::slideByPairs(std::int64_t count, double* values) {
  const double* front2 = samples + (front - origin);
  const double* back2 = samples + (back - origin);
  const auto term = [](double a, double b) { return (a + b) * (a + b); };
  for (std::int64_t k = 0; k < count; ++k) {
    const double* f = front2 + 2 * k;
    const double* b = back2 + 2 * k;
    values[k] = (term(f[0], f[1]) + term(f[1], f[2])) - (term(b[0], b[1]) + term(b[1], b[2]));
  }
  // The running sum of the steps in four chains, each over a quarter of them, then each quarter
  // moved up by the sums before it: every partial sum is a whole number of quarters below 2^53, so
  // each addition is exact and their order does not change a bit, while the four chains wait on
  // one another only once.
  constexpr std::int64_t chains = 4;
  const std::int64_t part = (count + chains - 1) / chains;
  for (std::int64_t c = 0; c < chains; ++c) {
    double sum = 0;
    for (std::int64_t k = c * part; k < std::min(count, (c + 1) * part); ++k) {
      sum += values[k];
      values[k] = sum;
    }
  }
  auto offset = static_cast<double>(quadruple);
  for (std::int64_t c = 0; c < chains && c * part < count; ++c) {
    const std::int64_t end = std::min(count, (c + 1) * part);
    for (std::int64_t k = c * part; k < end; ++k) {
      values[k] = (values[k] + offset) * 0.25;
    }
    offset = values[end - 1] * 4;
  }
  quadruple = static_cast<std::int64_t>(offset);
  back += 2 * count;
  front += 2 * count;
}

}  // namespace velmora
