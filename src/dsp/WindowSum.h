#pragma once

#include <algorithm>
#include <cstdint>
#include <span>

// The compressor's window sum as a running sum: as the window slides forward, terms enter at the
// front and leave at the back, instead of the whole window being added up again for every pair.
//
// Term m stands for the samples m and m + 1 and is (0.5a + 0.5b)^2. On whole-number samples it is
// kept as the integer (a + b)^2, four times its value, so adding and removing terms is exact.
// The direct sum adds the same terms as doubles: each is a multiple of a quarter, and while every
// partial sum stays below 2^53 quarters (isExact) each of its additions is exact too. Both sums
// are then the same number, and value() gives the direct sum's double bit for bit.

namespace velmora {

class WindowSum {
 public:
  // A window of no terms that starts at term start; samples must be whole numbers.
  WindowSum(std::span<const double> samples, std::int64_t start);
  virtual ~WindowSum() = default;

  // Slides the window to the terms [back, front). Both ends only move forward; a front behind
  // the back leaves the window empty.
  void slideTo(std::int64_t newBack, std::int64_t newFront) {
    for (; back < std::min(newBack, front); ++back) {
      quadruple -= term(back);
    }
    back = newBack;
    front = std::max(front, back);
    for (; front < newFront; ++front) {
      quadruple += term(front);
    }
  }

  double value() const { return static_cast<double>(quadruple) * 0.25; }

  // Whether windows of terms terms, on samples no larger than largest in magnitude, stay below
  // 2^53 quarters, so that the running and the direct sums agree.
  static bool isExact(double largest, std::int32_t terms);

 private:
  std::int64_t term(std::int64_t m) const {
    const auto at = static_cast<std::size_t>(m);
    const auto pairSum = static_cast<std::int64_t>(x[at]) + static_cast<std::int64_t>(x[at + 1]);
    return pairSum * pairSum;
  }

  std::span<const double> x;
  std::int64_t back;
  std::int64_t front;
  std::int64_t quadruple = 0;
};

}  // namespace velmora
