#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioSignal.h"
#include "audio/Stage.h"
#include "audio/WavReader.h"
#include "dsp/Compressor.h"
#include "dsp/CompressorGain.h"

// Ties one input file to the processing stages. It builds the chain as a list from what is asked
// of it: the file's reader, the compressor's two stages, the bass boost (taking the compressor's
// output as its input: its filter then runs in the compressor's last stage), and the writer that
// saves. The chain runs the stages; this object then prints, on the caller's thread and in the
// program's order, each stage's lines and its failure, which it throws as a Failure. The target is
// written only once every stage has succeeded.

namespace velmora {

class AudioProcessor {
 public:
  // Reads the file's header; a file that cannot be loaded throws its Failure. bassState is the
  // bass boost's filter state, which carries on from file to file.
  AudioProcessor(const std::string& name, double& bassState);
  AudioProcessor(const AudioProcessor&) = delete;
  AudioProcessor& operator=(const AudioProcessor&) = delete;
  virtual ~AudioProcessor() = default;

  void applyCompressor(double threshold, double slope, double tla, double twnd, double tatt,
                       double trel, bool truncate);
  void applyBassBoost(double smoothing, double outputGain, double bassGain);
  // Adds the writer and runs the chain: the load's line, "Compressing: ", the hand-over,
  // "Boosting bass" with the bass boost's debug lines, then the save's summary.
  void saveOutput(const std::string& name);

 private:
  // A stage of the chain, with what is printed before its outcome is looked at and after it
  // succeeded.
  struct Entry {
    std::unique_ptr<Stage> stage;
    bool ownStage;  // a stage of the chain, or a step that runs in the stage before it
    std::function<void()> before;
    std::function<void()> after;
  };

  void join(std::unique_ptr<Stage> stage, std::function<void()> before, std::function<void()> after,
            bool ownStage = true);
  void useOutputAsInput() const;
  void reportSave(const std::string& name, std::int64_t produced) const;

  std::string sourceName;
  const WavReader* reader = nullptr;  // the first stage, which also reads the file again for long windows
  SignalFormat format;
  double& bassState;
  CompressorGain* gain = nullptr;  // the compressor's last stage, when it runs
  bool boosting = false;
  std::vector<Entry> entries;
};

}  // namespace velmora
