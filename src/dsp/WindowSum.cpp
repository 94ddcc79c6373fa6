#include "dsp/WindowSum.h"

namespace velmora {

namespace {
// 2^53: every integer below it is a double.
constexpr double exactQuarters = 9007199254740992.0;
}  // namespace

WindowSum::WindowSum(std::span<const double> samples, std::int64_t start)
    : x(samples), back(start), front(start) {}

bool WindowSum::isExact(double largest, std::int32_t terms) {
  const double largestTerm = (2.0 * largest) * (2.0 * largest);
  return std::max(terms, 0) * largestTerm < exactQuarters;
}

}  // namespace velmora
