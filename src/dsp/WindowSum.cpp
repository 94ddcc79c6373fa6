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
  // The running sum of the steps in four chains, each over a quarter of them and each step of the
  // four made together, then each quarter moved up by the sums before it: every partial sum is a
  // whole number of quarters below 2^53, so each addition is exact and their order does not change
  // a bit, while the chains wait on their own additions side by side.
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
  auto offset = static_cast<double>(quadruple);
  for (int c = 0; c < 4; ++c) {
    const std::int64_t length = c < 3 ? part : count - 3 * part;
    for (std::int64_t k = 0; k < length; ++k) {
      quarter[c][k] = (quarter[c][k] + offset) * 0.25;
    }
    offset += chain[c];
  }
  quadruple = static_cast<std::int64_t>(offset);
  back += 2 * count;
  front += 2 * count;
}

}  // namespace velmora
