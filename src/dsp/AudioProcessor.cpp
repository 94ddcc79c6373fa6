#include "dsp/AudioProcessor.h"

#include <algorithm>
#include <iostream>

#include "audio/OutputSignal.h"

namespace velmora {

namespace {
// Samples that fill no queue of the chain: four blocks of the reader, or of the compressor's pairs.
constexpr std::int32_t shortFile = 4 * static_cast<std::int32_t>(WavReader::blockSamples);
}  // namespace

AudioProcessor::AudioProcessor(const std::string& name, double& state)
    : sourceName(name), reader(name), bassState(state) {
  if (const std::optional<std::string> failure = reader.readHeader()) {
    endProcess(*failure, exitFileFailure);
  }
  format = reader.getFormat();
}

void AudioProcessor::applyCompressor(double threshold, double slope, double tla, double twnd,
                                     double tatt, double trel, bool truncate) {
  compression = CompressorSettings{threshold, slope, tla, twnd, tatt, trel, truncate};
}

void AudioProcessor::applyBassBoost(double smoothing, double outputGain, double bassGain) {
  bass.emplace(smoothing, outputGain, bassGain, bassState);
}

void AudioProcessor::saveOutput(const std::string& name) {
  produced = compression || bass ? format.nosamples / 2 * 2 : 0;
  WavWriter writer(name, format, produced);

  // The chain: the reader, then the stages asked for, each taking the stream of the one before,
  // then the writer. A file whose every stream fits its queue runs one stage after another.
  chain.runSideBySide(format.nosamples > shortFile);
  BlockQueue& fromFile = chain.link();
  loadStage = chain.start(
      [this, &fromFile] {
        for (SampleBlock block = fromFile.spare(); reader.readBlock(block); block = fromFile.spare()) {
          if (!fromFile.push(std::move(block))) {
            return;
          }
        }
      },
      nullptr, &fromFile);
  AudioSignal loaded(sourceName, format, fromFile, true);
  BlockQueue& processed = chain.link();
  OutputSignal output(loaded, processed);
  const Compressor compressor(compression.value_or(CompressorSettings{}), format.samplerate);
  // Everything the stages' threads use lives until the chain has stopped, at the end of this call.
  BlockQueue& measured = chain.link();
  const std::function<void(SampleBlock&)> boost = [this](SampleBlock& block) { bass->filter(block); };
  if (compression) {
    // The window levels, then the smoothing with the gain, side by side. The bass boost, when asked
    // for, filters each compressed block on the same thread: the hand-over between them is that block.
    levelStage = chain.start([&] { compressor.measure(loaded, measured); }, &fromFile, &measured);
    compressorStage = chain.start(
        [&] {
          compressor.applyGain(measured, output, bass ? boost : nullptr);
          output.finish();
        },
        &measured, &processed);
    bassStage = compressorStage;
  } else if (bass) {
    bassStage = chain.start(
        [&] {
          bass->run(loaded, output);
          output.finish();
        },
        &fromFile, &processed);
  } else {
    chain.start([] {}, &fromFile, nullptr);  // the samples are read to the end, and dropped
    processed.close();
  }
  saveStage = chain.start([&writer, &processed] { writer.run(processed); }, &processed, nullptr);

  reportLoad(writer);
  if (compression) {
    reportCompressor(writer);
  }
  if (bass) {
    if (compression) {
      useOutputAsInput();
    }
    reportBassBoost(writer);
  }
  reportSave(writer, name);
}

// Waits for a stage; its failure ends the process, with every other stage stopped and the
// temporary file removed.
void AudioProcessor::check(std::size_t stage, WavWriter& writer) {
  if (const std::optional<Failure> failure = chain.wait(stage)) {
    chain.stop();
    writer.discard();
    endProcess(*failure);
  }
}

void AudioProcessor::reportLoad(WavWriter& writer) {
  check(loadStage, writer);
  std::cout << " Number of Samples = " << format.nosamples << std::endl;
}

void AudioProcessor::reportCompressor(WavWriter& writer) {
  std::cout << "Compressing: " << sourceName << std::endl;
  check(levelStage, writer);
  check(compressorStage, writer);
}

// The compressor's output is the bass boost's input: the stream between them carries it on.
void AudioProcessor::useOutputAsInput() {
  std::cout << "new no of samples = " << format.nosamples / 2 * 2 << std::endl;
}

void AudioProcessor::reportBassBoost(WavWriter& writer) {
  std::cout << "Boosting bass" << std::endl;
  check(bassStage, writer);
  bassState = bass->state();
  const std::deque<double>& last = bass->lastOutputs();
  const std::int64_t pairs = format.nosamples / 2;
  const std::int64_t first = pairs - static_cast<std::int64_t>(last.size() / 2);
  for (std::size_t k = 0; k + 1 < last.size(); k += 2) {
    std::cout << "@i=" << first + static_cast<std::int64_t>(k / 2) << " outa=" << last[k] << " outb=" << last[k + 1]
              << " n=" << pairs << std::endl;
  }
}

void AudioProcessor::reportSave(WavWriter& writer, const std::string& name) {
  if (produced <= 0) {
    std::cout << "No new data to output!" << std::endl;
  }
  check(saveStage, writer);
  if (const std::optional<std::string> failure = writer.commit()) {
    chain.stop();
    endProcess(*failure, exitFileFailure);
  }
  chain.stop();
  std::cout << "\nSaved WAV File: " << name << std::endl;
  std::cout << " Sample Rate = (Hz) " << format.samplerate << std::endl;
  std::cout << " Number of Samples = " << produced << std::endl;
  std::cout << " Bits Per Sample = " << format.bitspersample << std::endl;
  std::cout << " Number of Channels = " << format.channels << std::endl;
}

}  // namespace velmora
