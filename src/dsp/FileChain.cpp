#include "dsp/FileChain.h"

#include <exception>

#include "audio/SampleEncoder.h"
#include "audio/WavReader.h"
#include "audio/WavWriter.h"
#include "dsp/BassBoost.h"
#include "dsp/CompressorGain.h"
#include "dsp/CompressorLevels.h"
#include "dsp/GainAndBassBoost.h"
#include "stream/ProgressStage.h"
#include "stream/StageChain.h"
#include "system/Failure.h"
#include "system/InputFile.h"
#include "system/Process.h"

namespace velmora {

namespace {
// The spare blocks of the whole run, shared by the chains of its files.
BlockPool spareBlocks;

bool isAbandonment(const std::exception_ptr& outcome) {
  try {
    if (outcome) {
      std::rethrow_exception(outcome);
    }
  } catch (const Abandonment&) {
    return true;
  } catch (...) {
  }
  return false;
}
}  // namespace

FileChain::FileChain(const std::string& inputName, const Settings& settings, double& bassState) {
  auto reader = std::make_unique<WavReader>(InputFile::open(inputName));
  reader->readHeader();
  reader->useBlocksOf(spareBlocks);
  const SignalFormat format = reader->getFormat();
  const WavReader& file = *reader;
  stages.push_back(std::move(reader));
  if (settings.compress) {
    const Compressor compressor(settings, format.samplerate);
    stages.push_back(std::make_unique<CompressorLevels>(compressor, format, inputName, [&file] { return file.cursor(); }));
    if (settings.boostBass) {
      stages.push_back(std::make_unique<GainAndBassBoost>(compressor, bassState, format.pairs()));
    } else {
      stages.push_back(std::make_unique<CompressorGain>(compressor));
    }
  } else if (settings.boostBass) {
    stages.push_back(std::make_unique<BassBoost>(bassState, format.pairs()));
  }
  if (process::errorsOnTerminal()) {
    progress = std::make_unique<ProgressLine>(inputName, format.nosamples);
    stages.push_back(std::make_unique<ProgressStage>(*progress));
  }
  const std::int64_t saved = settings.compress || settings.boostBass ? 2 * format.pairs() : 0;
  if (const SampleCodec* codec = codecFor(format.bitspersample, format.floatingPoint)) {
    stages.push_back(std::make_unique<SampleEncoder>(*codec, saved));
  }
  stages.push_back(std::make_unique<WavWriter>(settings.outputFile(), format, saved, spareBlocks));
}

void FileChain::run(std::ostream& out) {
  StageChain chain;
  for (const std::unique_ptr<Stage>& stage : stages) {
    chain.add(*stage);
  }
  chain.run(process::usableProcessors());
  if (progress) {
    progress->stop();
  }
  for (std::size_t k = 0; k < stages.size(); ++k) {  // an interruption ends the run before any line
    if (isAbandonment(chain.outcome(k))) {
      std::rethrow_exception(chain.outcome(k));
    }
  }
  for (std::size_t k = 0; k < stages.size(); ++k) {
    stages[k]->announce(out);
    if (chain.outcome(k)) {
      std::rethrow_exception(chain.outcome(k));
    }
    stages[k]->conclude(out);
  }
}

}  // namespace velmora
