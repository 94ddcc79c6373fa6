#pragma once

#include <algorithm>
#include <cstdint>

// The compressor's window sum as a running sum: as the window slides forward, terms enter at the
// front and leave at the back, instead of the whole window being added up again for every pair.
//
// Term m stands for the samples m and m + 1 and is (0.5a + 0.5b)^2. On whole-number samples it is
// kept as the integer (a + b)^2, four times its value, so adding and removing terms is exact.
// The direct sum adds the same terms as doubles: each is a multiple of a quarter, and while the
// sum stays below 2^53 quarters (isExact) each of its additions is exact too, since its partial
// sums only grow. Both sums are then the same number, and value() gives the direct sum's double
// bit for bit. A window above that bound must be summed directly.

namespace velmora {

class WindowSum {
 public:
  // A window of no terms that starts at term start.
  explicit WindowSum(std::int64_t start) : back(start), front(start) {}
  virtual ~WindowSum() = default;

  // Where the samples are read from: x points at sample first; every sample the next slides read
  // (from the back of the window on) must lie there. Samples must be whole numbers.
  void readFrom(const double* x, std::int64_t first) {
    samples = x;
    origin = first;
  }

  // Slides the window to the terms [back, front). Both ends only move forward; a front behind
  // the back leaves the window empty.
  void slideTo(std::int64_t newBack, std::int64_t newFront) {
    const auto held = [this](std::int64_t m) { return term(samples + (m - origin)); };
    slideTo(newBack, newFront, held, held);
  }
  // The same with the terms that leave and the terms that enter taken from elsewhere: each of
  // backTerm and frontTerm gives term m as four times its value, (a + b)^2.
  template <class BackTerm, class FrontTerm>
  void slideTo(std::int64_t newBack, std::int64_t newFront, BackTerm backTerm, FrontTerm frontTerm) {
    for (; back < std::min(newBack, front); ++back) {
      quadruple -= backTerm(back);
    }
    back = newBack;
    front = std::max(front, back);
    for (; front < newFront; ++front) {
      quadruple += frontTerm(front);
    }
  }

  // Slides a window of fixed length by one pair (two terms at each end) count times, writing each
  // window's value to values. Each step adds the difference of four terms, computed for all steps
  // at once; the sums are whole numbers of quarters, and the doubles hold them exactly while they
  // stay below 2^53: for windows of fewer than 2^21 terms of whole-number samples of up to 32768
  // in magnitude, each term at most 2^32 quarters.
  void slideByPairs(std::int64_t count, double* values);

  double value() const { return static_cast<double>(quadruple) * 0.25; }
  // Whether value() is the direct sum's double: the exact sum lies below 2^53 quarters.
  bool isExact() const { return quadruple < exactQuarters; }
  std::int64_t getBack() const { return back; }
  std::int64_t getFront() const { return front; }

  // The direct sum of the terms [from, to), in order, as doubles, what the definition computes:
  // sampleAt gives the sample of an index.
  template <class SampleAt>
  static double direct(SampleAt sampleAt, std::int64_t from, std::int64_t to) {
    double sum = 0;
    for (std::int64_t m = from; m < to; ++m) {
      const double mean = 0.5 * sampleAt(m) + 0.5 * sampleAt(m + 1);
      sum += mean * mean;
    }
    return sum;
  }

  // Four times a term, (a + b)^2, from its two samples: a whole number on whole-number samples.
  static std::int64_t term(const double* at) {
    const auto pairSum = static_cast<std::int64_t>(at[0]) + static_cast<std::int64_t>(at[1]);
    return pairSum * pairSum;
  }

 private:
  static constexpr std::int64_t exactQuarters = std::int64_t{1} << 53;

  const double* samples = nullptr;
  std::int64_t origin = 0;
  std::int64_t back;
  std::int64_t front;
  std::int64_t quadruple = 0;
};

}  // namespace velmora
