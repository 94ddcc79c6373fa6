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

}  // namespace velmora
