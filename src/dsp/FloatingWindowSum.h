#pragma once

#include <cstdint>

// The compressor's window sum over samples that are not all whole numbers (24- and 32-bit integer
// and floating-point files in 16-bit units), as a running sum that does not drift. Each term is
// the definition's (0.5a + 0.5b)^2. The sum is kept as two doubles, the sum and the rounding
// errors of its additions (each addition's error found exactly), with the count of its nonzero
// terms, so that a window of silence is exactly 0; and it is summed afresh term by term now and
// then: at least every few window lengths, and when the window has fallen far below the largest
// it held since, where the errors of the large sums would weigh on a small one.

namespace velmora {

class FloatingWindowSum {
 public:
  // The definition's term of the samples a and b.
  static double term(double a, double b) {
    const double mean = 0.5 * a + 0.5 * b;
    return mean * mean;
  }

  // Sums the terms [back, front) afresh; sampleAt gives the sample of an index.
  template <class SampleAt>
  void restart(SampleAt sampleAt, std::int64_t newBack, std::int64_t newFront) {
    high = 0;
    low = 0;
    nonzero = 0;
    back = newBack;
    front = newBack;
    for (; front < newFront; ++front) {
      add(term(sampleAt(front), sampleAt(front + 1)));
    }
    moved = 0;
    largest = value();
  }

  // Slides the window to the terms [back, front), both ends only moving forward: the terms that
  // leave are read through leavingAt, those that enter through enteringAt. Afterwards the caller
  // restarts the window where restartDue says so.
  template <class LeavingAt, class EnteringAt>
  void slideTo(std::int64_t newBack, std::int64_t newFront, LeavingAt leavingAt, EnteringAt enteringAt) {
    for (; back < newBack && back < front; ++back, ++moved) {
      remove(term(leavingAt(back), leavingAt(back + 1)));
    }
    back = newBack;
    front = front < back ? back : front;
    for (; front < newFront; ++front, ++moved) {
      add(term(enteringAt(front), enteringAt(front + 1)));
    }
    largest = value() > largest ? value() : largest;
  }

  // Whether the sum is due to be made afresh: it has moved by restartAfter terms since, or it has
  // fallen below 2^-30 of the largest it held since.
  bool restartDue(std::int64_t restartAfter) const { return moved >= restartAfter || value() < largest * 0x1p-30; }

  double value() const { return nonzero == 0 ? 0.0 : high + low; }
  std::int64_t getBack() const { return back; }
  std::int64_t getFront() const { return front; }

 private:
  void add(double t) {
    accumulate(t);
    nonzero += t != 0;
  }
  void remove(double t) {
    accumulate(-t);
    nonzero -= t != 0;
  }
  // The new sum and the exact error of its addition, the error added to the errors.
  void accumulate(double t) {
    const double sum = high + t;
    const double part = sum - high;
    low += (high - (sum - part)) + (t - part);
    high = sum;
  }

  double high = 0;
  double low = 0;
  std::int64_t nonzero = 0;
  std::int64_t back = 0;
  std::int64_t front = 0;
  std::int64_t moved = 0;
  double largest = 0;
};

}  // namespace velmora
