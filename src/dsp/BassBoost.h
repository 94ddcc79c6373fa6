#pragma once

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

  double state() const { return y; }

 private:
  double smoothing;
  double outputGain;
  double bassGain;
  double scale;  // 1 / (smoothing + 1)
  double y;
};

}  // namespace velmora
