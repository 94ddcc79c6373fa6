#pragma once

#include <memory>
#include <optional>
#include <string>

#include "audio/AudioSignal.h"
#include "audio/WavWriter.h"
#include "audio/WavReader.h"
#include "dsp/BassBoost.h"
#include "dsp/Compressor.h"
#include "dsp/StageChain.h"

// Ties one input file to the processing stages: reads its header, lets the compressor and the bass
// boost join the chain in that order (the compressor's output handed over as the bass boost's
// input), and saves. The stages run side by side on the stream; this object, on the caller's
// thread, prints each stage's lines at the point where the stage is complete, in the program's
// order, and is where a failure of any stage ends the process.

namespace velmora {

class AudioProcessor {
 public:
  // Reads the file's header; a file that cannot be loaded ends the process with its message.
  // bassState is the bass boost's filter state, which carries on from file to file.
  AudioProcessor(const std::string& name, double& bassState);
  virtual ~AudioProcessor() = default;

  void applyCompressor(double threshold, double slope, double tla, double twnd, double tatt,
                       double trel, bool truncate);
  void applyBassBoost(double smoothing, double outputGain, double bassGain);
  // Runs the chain to the file name: the load's line, "Compressing: ", the hand-over, "Boosting
  // bass" with the bass boost's debug lines, then the save's summary.
  void saveOutput(const std::string& name);

 private:
  void reportLoad(WavWriter& writer);
  void reportCompressor(WavWriter& writer);
  void useOutputAsInput();
  void reportBassBoost(WavWriter& writer);
  void reportSave(WavWriter& writer, const std::string& name);
  void check(std::size_t stage, WavWriter& writer);

  std::string sourceName;
  WavReader reader;
  SignalFormat format;
  double& bassState;
  std::optional<CompressorSettings> compression;
  std::optional<BassBoost> bass;
  StageChain chain;
  std::size_t loadStage = 0;
  std::size_t levelStage = 0;
  std::size_t compressorStage = 0;
  std::size_t bassStage = 0;
  std::size_t saveStage = 0;
  std::int64_t produced = 0;  // samples the stages produce: 2 per pair, none without a stage
};

}  // namespace velmora
