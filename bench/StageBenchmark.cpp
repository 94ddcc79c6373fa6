// Samples per second of each stage on its own, one thread, on the samples of a WAV file given as
// the first argument (the benchmark script passes ten minutes of the sample generator's music):
// the 16-bit decoding, the compressor's window levels, its smoothing and gain, the bass boost, the
// two together as one stage, and the 16-bit encoding. The file is decoded once, outside the timed
// region, into blocks held in memory.
//
//   velmora_bench file.wav [benchmark options]

#include <benchmark/benchmark.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "audio/SampleCodec.h"
#include "audio/WavReader.h"
#include "dsp/BassBoost.h"
#include "dsp/CompressorGain.h"
#include "dsp/CompressorLevels.h"
#include "dsp/GainAndBassBoost.h"
#include "stream/BlockPool.h"
#include "system/Failure.h"
#include "system/InputFile.h"

namespace {

std::unique_ptr<velmora::WavReader> reader;
velmora::SignalFormat format;
std::vector<velmora::SampleBlock> blocks;
std::vector<velmora::SampleBlock> measured;  // the window levels' blocks, for the gain stages
const velmora::Settings defaults;

// Keeps what a stage hands on, or gives it back for reuse as the next stage would.
struct Sink : velmora::BlockSink {
  explicit Sink(std::vector<velmora::SampleBlock>* kept = nullptr) : kept(kept) {}
  void put(velmora::SampleBlock&& block) override {
    if (kept != nullptr) {
      kept->push_back(std::move(block));
    } else {
      pool.giveBack(std::move(block));
    }
  }
  std::vector<velmora::SampleBlock>* kept;
  velmora::BlockPool pool;
};

// Runs stage over copies of input (made outside the timed region).
void runStage(benchmark::State& state, velmora::Stage& stage, const std::vector<velmora::SampleBlock>& input, Sink& sink) {
  state.PauseTiming();
  std::vector<velmora::SampleBlock> copies = input;
  state.ResumeTiming();
  for (velmora::SampleBlock& block : copies) {
    stage.step(std::move(block), sink);
  }
  stage.drain(sink);
}

void count(benchmark::State& state) {
  state.counters["samples_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(format.nosamples), benchmark::Counter::kIsRate);
}

void decoding(benchmark::State& state) {
  std::vector<unsigned char> bytes(2 * velmora::blockSamples);
  velmora::pcm16Codec().encode(blocks[0].samples.data(), blocks[0].samples.size(), bytes.data());
  std::vector<double> samples(velmora::blockSamples);
  for (auto _ : state) {
    for (const velmora::SampleBlock& block : blocks) {
      velmora::pcm16Codec().decode(bytes.data(), block.samples.size(), samples.data());
    }
    benchmark::DoNotOptimize(samples.data());
  }
  count(state);
}

void compressorLevels(benchmark::State& state) {
  const velmora::Compressor compressor(defaults, format.samplerate);
  for (auto _ : state) {
    velmora::CompressorLevels levels(compressor, format, "in.wav", [] { return reader->cursor(); });
    Sink sink;
    runStage(state, levels, blocks, sink);
  }
  count(state);
}

void compressorGain(benchmark::State& state) {
  const velmora::Compressor compressor(defaults, format.samplerate);
  for (auto _ : state) {
    velmora::CompressorGain gain(compressor);
    Sink sink;
    runStage(state, gain, measured, sink);
  }
  count(state);
}

void bassBoost(benchmark::State& state) {
  for (auto _ : state) {
    double y = 0.0;
    velmora::BassBoost bass(y, format.pairs());
    Sink sink;
    runStage(state, bass, blocks, sink);
  }
  count(state);
}

void gainAndBassBoost(benchmark::State& state) {
  const velmora::Compressor compressor(defaults, format.samplerate);
  for (auto _ : state) {
    double y = 0.0;
    velmora::GainAndBassBoost both(compressor, y, format.pairs());
    Sink sink;
    runStage(state, both, measured, sink);
  }
  count(state);
}

void encoding(benchmark::State& state) {
  std::vector<unsigned char> bytes(2 * velmora::blockSamples);
  for (auto _ : state) {
    for (const velmora::SampleBlock& block : blocks) {
      velmora::pcm16Codec().encode(block.samples.data(), block.samples.size(), bytes.data());
    }
    benchmark::DoNotOptimize(bytes.data());
  }
  count(state);
}

BENCHMARK(decoding)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(compressorLevels)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(compressorGain)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(bassBoost)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(gainAndBassBoost)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(encoding)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cout << "usage: velmora_bench file.wav [benchmark options]" << std::endl;
    return 2;
  }
  reader = std::make_unique<velmora::WavReader>(velmora::InputFile::open(argv[1]));
  try {
    reader->readHeader();
  } catch (const velmora::Failure& failure) {
    std::cout << failure.message << std::endl;
    return 1;
  }
  format = reader->getFormat();
  for (velmora::SampleBlock block; reader->readBlock(block);) {
    blocks.push_back(block);
  }
  velmora::CompressorLevels levels(velmora::Compressor(defaults, format.samplerate), format, "in.wav",
                                   [] { return reader->cursor(); });
  Sink keep(&measured);
  for (const velmora::SampleBlock& block : blocks) {
    levels.step(velmora::SampleBlock(block), keep);
  }
  levels.drain(keep);
  argv[1] = argv[0];
  --argc;
  ++argv;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
