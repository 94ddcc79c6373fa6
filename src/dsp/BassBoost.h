#pragma once

#include "audio/AudioSignal.h"
#include "audio/OutputSignal.h"

// The fixed bass boost: a one-pole low-pass whose output, times bassGain, is added to the sample
// before the sum is scaled by outputGain. The coefficient is computed once; the state carries on
// from sample to sample (and, through the caller, from file to file).

namespace velmora {

class BassBoost {
 public:
  BassBoost(double smoothing, double outputGain, double bassGain, double state);
  virtual ~BassBoost() = default;

  double step(double sample) {
    y = (smoothing * y + sample) * scale;
    return (y * bassGain + sample) * outputGain;
  }

  // Filters the input's pairs from its cursor into output, writing over input's array when input
  // alone holds it: one loop over the array with its bounds checked once.
  void run(AudioSignal& input, OutputSignal& output);
  // The same pass as the definition states it, a sample at a time through rci and append.
  void runDirect(AudioSignal& input, OutputSignal& output);

  double state() const { return y; }

 private:
  double smoothing;
  double outputGain;
  double bassGain;
  double scale;  // 1 / (smoothing + 1)
  double y;
};

}  // namespace velmora
