#include "dsp/AudioProcessor.h"

#include <algorithm>
#include <iostream>

#include "audio/OutputSignal.h"

namespace velmora {

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

  // The chain: the reader, then each stage asked for, each reading the stream of the one before.
  BlockQueue* stream = &chain.link();
  loadStage = chain.start(
      [this, stream] {
        for (SampleBlock block = stream->spare(); reader.readBlock(block); block = stream->spare()) {
          if (!stream->push(std::move(block))) {
            return;
          }
        }
      },
      nullptr, stream);
  AudioSignal loaded(sourceName, format, *stream, true);
  BlockQueue& compressedStream = chain.link();
  OutputSignal compressed(loaded, compressedStream);
  if (compression) {
    compressorStage = chain.start(
        [&] {
          Compressor(*compression, format.samplerate).run(loaded, compressed);
          compressed.finish();
        },
        stream, &compressedStream);
    stream = &compressedStream;
  }
  SignalFormat handedOver = format;
  handedOver.nosamples = compression ? static_cast<std::int32_t>(format.nosamples / 2 * 2) : format.nosamples;
  AudioSignal bassInput(sourceName, handedOver, *stream, !compression);
  BlockQueue& boostedStream = chain.link();
  OutputSignal boosted(bassInput, boostedStream);
  if (bass) {
    bassStage = chain.start(
        [&] {
          bass->run(bassInput, boosted);
          boosted.finish();
        },
        stream, &boostedStream);
    stream = &boostedStream;
  }
  if (!compression && !bass) {
    chain.start([] {}, stream, nullptr);  // the samples are read to the end, and dropped
    stream = &boostedStream;
    stream->close();
  }
  saveStage = chain.start([&writer, stream] { writer.run(*stream); }, stream, nullptr);

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
