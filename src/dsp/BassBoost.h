#pragma once

#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>

#include "audio/Stage.h"

// The fixed bass boost: a one-pole low-pass whose output, times bassGain, is added to the sample
// before the sum is scaled by outputGain. The coefficient is computed once; the state carries on
// from sample to sample (and, through the caller, from file to file). It runs as a stage of its
// own, or inside the loop of the stage before it (the compressor's gain), through its Filter.

namespace velmora {

class BassBoost : public Stage {
 public:
  // The outputs of the last pairs are kept for the debug lines.
  static constexpr std::size_t reportedPairs = 99;

  // The filter's numbers and state, small enough to live in registers through a loop.
  struct Filter {
    double smoothing;
    double outputGain;
    double bassGain;
    double scale;  // 1 / (smoothing + 1)
    double y;
    // Digital silence brings y down to a fixed point among the subnormal numbers, where each step
    // costs a hundred normal ones. While y is that small the loops take quietStep instead, which
    // keeps the output of a silent step that left y as it was, and gives it again while the silence
    // lasts; a run of quiet steps begins with settled false.
    bool settled = false;
    double settledOutput = 0.0;

    // One filter step.
    double bassStep(double sample) {
      y = (smoothing * y + sample) * scale;
      return (y * bassGain + sample) * outputGain;
    }
    bool quiet() const { return std::fabs(y) < std::numeric_limits<double>::min(); }
    double quietStep(double sample) {
      if (sample == 0 && settled) {
        return settledOutput;
      }
      const double before = y;
      settledOutput = bassStep(sample);
      settled = sample == 0 && y == before;
      return settledOutput;
    }
  };

  // How often the loops ask whether a state has become quiet: little enough work is done slowly
  // before they notice, and the question costs nothing between.
  static constexpr std::size_t quietCheckSamples = 128;

  // Filters the first samples of its input (the pairs of the file: a last odd sample is dropped),
  // starting from the filter state state.
  BassBoost(double smoothing, double outputGain, double bassGain, double state, std::int64_t samples);

  // Filters the block where it stands and hands it on.
  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}

  // For a loop of another stage that runs the filter: its numbers and state now, then its state
  // and the outputs it made.
  Filter filter() const { return current; }
  void filtered(const Filter& after, const double* outputs, std::size_t count);

  double state() const { return current.y; }
  // The outputs of the last reportedPairs pairs (all of them when there were fewer).
  const std::deque<double>& lastOutputs() const { return recent; }

 private:
  Filter current;
  std::int64_t remaining;  // samples still to be filtered
  std::deque<double> recent;
};

}  // namespace velmora
