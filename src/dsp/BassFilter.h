#pragma once

#include <cmath>
#include <cstddef>
#include <limits>

// The fixed bass boost's arithmetic: a one-pole low-pass whose output, times bassGain, is added to
// the sample before the sum is scaled by outputGain. No option changes its numbers. Its state runs
// through every sample in stream order, and (through the caller) from file to file: a serial chain
// that no loop can reassociate, small enough to live in registers through one.

namespace velmora {

struct BassFilter {
  static constexpr double smoothing = 70.0;
  static constexpr double outputGain = 0.2;
  static constexpr double bassGain = 12.0;
  static constexpr double scale = 1 / (smoothing + 1);

  double y = 0.0;
  // Digital silence brings y down to a fixed point among the subnormal numbers, where each step
  // costs a hundred normal ones. While y is that small the loops take quietStep instead, which
  // keeps the output of a silent step that left y as it was, and gives it again while the silence
  // lasts; a run of quiet steps begins with settled false.
  bool settled = false;
  double settledOutput = 0.0;

  double step(double sample) {
    y = (smoothing * y + sample) * scale;
    return (y * bassGain + sample) * outputGain;
  }
  bool quiet() const { return std::fabs(y) < std::numeric_limits<double>::min(); }
  double quietStep(double sample) {
    if (sample == 0 && settled) {
      return settledOutput;
    }
    const double before = y;
    settledOutput = step(sample);
    settled = sample == 0 && y == before;
    return settledOutput;
  }
  // Filters count samples where they stand, asking every quietCheck samples whether y has become
  // quiet: little enough work is done slowly before the loop notices, and the question costs
  // nothing between.
  void run(double* x, std::size_t count);

  static constexpr std::size_t quietCheck = 128;
};

}  // namespace velmora
