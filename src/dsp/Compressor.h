#pragma once

#include <cstdint>

#include "audio/AudioSignal.h"
#include "audio/OutputSignal.h"

// The look-ahead dynamic range compressor. For every pair of input samples it measures the RMS
// level of a window that starts a little ahead of the pair, smooths it with an attack or release
// coefficient, turns it into a gain by a straight-line law above the threshold, and appends the
// pair times that gain (optionally clamped to +-30000).

namespace velmora {

struct CompressorSettings {
  double threshold = 65.0;  // hundredths of a sample unit
  double slope = 4.0;       // ten-thousandths
  double tla = 1.0;         // look-ahead, ms
  double twnd = 10.0;       // window, ms
  double tatt = 0.2;        // attack, ms
  double trel = 1.0;        // release, ms
  bool truncate = false;
};

class Compressor {
 public:
  // How the window sums are formed. Both give the same doubles on integer-valued input; the
  // running sum is linear in the input length, the direct sum re-adds the window for every pair.
  enum class WindowMethod { automatic, direct, running };

  Compressor(const CompressorSettings& settings, double samplerate);
  virtual ~Compressor() = default;

  void run(AudioSignal& input, OutputSignal& output, WindowMethod method = WindowMethod::automatic);

  std::int32_t lookahead() const { return ln; }
  std::int32_t window() const { return wn; }
  double attack() const { return ca; }
  double release() const { return cr; }
  double level() const { return smoothed; }

  // The three steps for one pair, given the window's sum of squared pair means.
  double detect(double windowSum) const;
  double smooth(double rms);
  double gainAt(double level) const;
  double limit(double sample) const;

 private:
  void processPair(double s1, double s2, double windowSum, OutputSignal& output);
  void runDirect(AudioSignal& input, OutputSignal& output, std::int64_t pairs);
  void runRunning(AudioSignal& input, OutputSignal& output, std::int64_t pairs);
  bool runningSumIsExact(const AudioSignal& input) const;

  double t;
  double s;
  double ca;
  double cr;
  std::int32_t ln;
  std::int32_t wn;
  bool truncate;
  double smoothed = 0.0;
};

}  // namespace velmora
