#include "dsp/AudioProcessor.h"

#include <iostream>
#include <utility>

#include "audio/BlockPool.h"
#include "audio/WavReader.h"
#include "audio/WavWriter.h"
#include "dsp/BassBoost.h"
#include "dsp/CompressorGain.h"
#include "dsp/CompressorLevels.h"
#include "dsp/StageChain.h"
#include "system/ProcessExit.h"
#include "system/Processors.h"

namespace velmora {

namespace {
// The spare blocks of the whole run, shared by the chains of its files.
BlockPool spare;
BlockPool& spareBlocks() { return spare; }
}  // namespace

AudioProcessor::AudioProcessor(const std::string& name, double& state) : sourceName(name), bassState(state) {
  auto file = std::make_unique<WavReader>(name);
  if (const std::optional<std::string> failure = file->readHeader()) {
    throw Failure{*failure, exitFileFailure};
  }
  format = file->getFormat();
  file->useBlocksOf(spareBlocks());
  reader = file.get();
  join(std::move(file), nullptr, [this] { std::cout << " Number of Samples = " << format.nosamples << std::endl; });
}

void AudioProcessor::join(std::unique_ptr<Stage> stage, std::function<void()> before, std::function<void()> after,
                          bool ownStage) {
  entries.push_back({std::move(stage), ownStage, std::move(before), std::move(after)});
}

void AudioProcessor::applyCompressor(double threshold, double slope, double tla, double twnd, double tatt,
                                     double trel, bool truncate) {
  const Compressor compressor({threshold, slope, tla, twnd, tatt, trel, truncate}, format.samplerate);
  const WavReader* source = reader;
  join(std::make_unique<CompressorLevels>(compressor, format, sourceName, [source] { return source->cursor(); }),
       [this] { std::cout << "Compressing: " << sourceName << std::endl; }, nullptr);
  auto stage = std::make_unique<CompressorGain>(compressor);
  gain = stage.get();
  join(std::move(stage), nullptr, nullptr);
}

void AudioProcessor::applyBassBoost(double smoothing, double outputGain, double bassGain) {
  auto stage = std::make_unique<BassBoost>(smoothing, outputGain, bassGain, bassState, format.nosamples / 2 * 2);
  BassBoost* bass = stage.get();
  const auto before = [this] {
    if (gain != nullptr) {
      useOutputAsInput();
    }
    std::cout << "Boosting bass" << std::endl;
  };
  const auto after = [this, bass] {
    bassState = bass->state();
    const std::deque<double>& last = bass->lastOutputs();
    const std::int64_t pairs = format.nosamples / 2;
    const std::int64_t first = pairs - static_cast<std::int64_t>(last.size() / 2);
    for (std::size_t k = 0; k + 1 < last.size(); k += 2) {
      std::cout << "@i=" << first + static_cast<std::int64_t>(k / 2) << " outa=" << last[k] << " outb=" << last[k + 1]
                << " n=" << pairs << std::endl;
    }
  };
  // After the compressor the filter runs in the loop of its gain stage, whose failures are its own.
  if (gain != nullptr) {
    gain->boostWith(bass);
  }
  join(std::move(stage), before, after, gain == nullptr);
  boosting = true;
}

// The compressor's output is the bass boost's input: the stream between them carries it on.
void AudioProcessor::useOutputAsInput() const {
  std::cout << "new no of samples = " << format.nosamples / 2 * 2 << std::endl;
}

void AudioProcessor::saveOutput(const std::string& name) {
  const std::int64_t produced = gain != nullptr || boosting ? format.nosamples / 2 * 2 : 0;
  auto stage = std::make_unique<WavWriter>(name, format, produced, spareBlocks());
  WavWriter* writer = stage.get();
  join(std::move(stage),
       [produced] {
         if (produced <= 0) {
           std::cout << "No new data to output!" << std::endl;
         }
       },
       [this, writer, name, produced] {
         checkConsole();  // a console whose reader has gone ends the run before the target is touched
         writer->commit();
         reportSave(name, produced);
       });

  StageChain chain;
  std::vector<std::optional<std::size_t>> inChain;
  for (const Entry& entry : entries) {
    inChain.push_back(entry.ownStage ? std::optional(chain.add(*entry.stage)) : std::nullopt);
  }
  chain.run(usableProcessors());
  for (std::size_t k = 0; k < entries.size(); ++k) {
    if (entries[k].before) {
      entries[k].before();
    }
    if (inChain[k] && chain.outcome(*inChain[k])) {
      throw *chain.outcome(*inChain[k]);
    }
    if (entries[k].after) {
      entries[k].after();
    }
  }
}

void AudioProcessor::reportSave(const std::string& name, std::int64_t produced) const {
  std::cout << "\nSaved WAV File: " << name << std::endl;
  std::cout << " Sample Rate = (Hz) " << format.samplerate << std::endl;
  std::cout << " Number of Samples = " << produced << std::endl;
  std::cout << " Bits Per Sample = " << format.bitspersample << std::endl;
  std::cout << " Number of Channels = " << format.channels << std::endl;
}

}  // namespace velmora
