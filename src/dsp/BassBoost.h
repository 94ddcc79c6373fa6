#pragma once

#include <deque>

#include "audio/AudioSignal.h"
#include "audio/OutputSignal.h"

// The fixed bass boost: a one-pole low-pass whose output, times bassGain, is added to the sample
// before the sum is scaled by outputGain. The coefficient is computed once; the state carries on
// from sample to sample (and, through the caller, from file to file).

namespace velmora {

class BassBoost {
 public:
  // The outputs of the last pairs are kept for the debug lines.
  static constexpr std::size_t reportedPairs = 99;

  BassBoost(double smoothing, double outputGain, double bassGain, double state);
  virtual ~BassBoost() = default;

  double step(double sample) {
    y = (smoothing * y + sample) * scale;
    return (y * bassGain + sample) * outputGain;
  }

  // Filters the input's pairs into output a whole block at a time, each block filtered where it
  // stands and handed on.
  void run(AudioSignal& input, OutputSignal& output);
  // Filters a block of samples where it stands, continuing from the samples before it.
  void filter(SampleBlock& block);
  // The same pass as the definition states it, a sample at a time through rci and append.
  void runDirect(AudioSignal& input, OutputSignal& output);

  double state() const { return y; }
  // The outputs of the last reportedPairs pairs (all of them when there were fewer).
  const std::deque<double>& lastOutputs() const { return recent; }

 private:
  void remember(const double* outputs, std::size_t count);

  double smoothing;
  double outputGain;
  double bassGain;
  double scale;  // 1 / (smoothing + 1)
  double y;
  std::deque<double> recent;
};

}  // namespace velmora
