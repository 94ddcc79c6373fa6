#include "dsp/WindowSum.h"

namespace velmora {

double WindowSum::direct(const double* x, std::int64_t from, std::int64_t to) {
  double sum = 0;
  for (std::int64_t m = from; m < to; ++m) {
    const double mean = 0.5 * x[m - from] + 0.5 * x[m - from + 1];
    sum += mean * mean;
  }
  return sum;
}

void WindowSum::slideByPairs(std::int64_t count, double* values) {
  const double* front2 = samples + (front - origin);
  const double* back2 = samples + (back - origin);
  const auto term = [](double a, double b) { return (a + b) * (a + b); };
  for (std::int64_t k = 0; k < count; ++k) {
    const double* f = front2 + 2 * k;
    const double* b = back2 + 2 * k;
    values[k] = (term(f[0], f[1]) + term(f[1], f[2])) - (term(b[0], b[1]) + term(b[1], b[2]));
  }
  auto sum = static_cast<double>(quadruple);
  for (std::int64_t k = 0; k < count; ++k) {
    sum += values[k];
    values[k] = sum * 0.25;
  }
  quadruple = static_cast<std::int64_t>(sum);
  back += 2 * count;
  front += 2 * count;
}

}  // namespace velmora
