#pragma once

#include <memory>
#include <string>

#include "audio/AudioSignal.h"
#include "audio/OutputSignal.h"

// Ties one input file to the processing stages: loads it, lets each stage read the input and
// append to the output, hands one stage's output on as the next one's input, and saves.

namespace velmora {

class AudioProcessor {
 public:
  explicit AudioProcessor(const std::string& name);
  virtual ~AudioProcessor() = default;

  void applyCompressor(double threshold, double slope, double tla, double twnd, double tatt,
                       double trel, bool truncate);
  void applyBassBoost(double smoothing, double outputGain, double bassGain);
  double bassStep(double sample, double smoothing, double outputGain, double bassGain);
  void useOutputAsInput();
  void saveOutput(const std::string& name);

  AudioSignal& getInput() { return *input; }
  OutputSignal& getOutput() { return *output; }

  // The bass boost's filter state, one for the whole program and never reset by the program.
  static double bassState();
  static void setBassState(double state);

 private:
  std::string sourceName;
  std::unique_ptr<AudioSignal> input;
  std::unique_ptr<OutputSignal> output;
  double samplerate;
};

}  // namespace velmora
