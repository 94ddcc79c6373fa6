#pragma once

#include <cstdint>
#include <deque>

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
    // One filter step.
    double bassStep(double sample) {
      y = (smoothing * y + sample) * scale;
      return (y * bassGain + sample) * outputGain;
    }
  };

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
