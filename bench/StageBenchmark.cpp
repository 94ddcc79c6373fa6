// Samples per second of each stage on its own, one thread, on the samples of a WAV file given as
// the first argument (the benchmark script passes ten minutes of the sample generator's music):
// the 16-bit decoding, the compressor's window levels, its smoothing and gain, its gain law alone,
// the bass boost, the two together as one stage, and the 16-bit encoding. The file is decoded once, outside the timed
// region, into blocks held in memory. Each stage runs twice: over the file's blocks streamed from
// memory (/0), and over as many blocks that stay in the processor's cache, as in the chain, where
// each block arrives just made (/1).
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

constexpr std::size_t cachedBlocks = 4;

// Runs stage over copies of input (made outside the timed region): all of them, or as many as
// they are made of the first few, each copied just before its step.
void runStage(benchmark::State& state, velmora::Stage& stage, const std::vector<velmora::SampleBlock>& input, Sink& sink) {
  if (state.range(0) == 0) {
    state.PauseTiming();
    std::vector<velmora::SampleBlock> copies = input;
    state.ResumeTiming();
    for (velmora::SampleBlock& block : copies) {
      stage.step(std::move(block), sink);
    }
  } else {
    std::vector<velmora::SampleBlock> copies(cachedBlocks);
    for (std::size_t k = 0; k < input.size(); ++k) {
      state.PauseTiming();
      velmora::SampleBlock& copy = copies[k % cachedBlocks];
      copy = input[k % cachedBlocks];
      state.ResumeTiming();
      stage.step(std::move(copy), sink);
    }
  }
  stage.drain(sink);
}

// The block a codec loop works on: each of the file's, or the first few again and again.
std::size_t blockFor(const benchmark::State& state, std::size_t k) { return state.range(0) == 0 ? k : k % cachedBlocks; }

void count(benchmark::State& state) {
  state.counters["samples_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * static_cast<double>(format.nosamples), benchmark::Counter::kIsRate);
}

void decoding(benchmark::State& state) {
  std::vector<std::vector<unsigned char>> bytes(blocks.size());
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    bytes[k].resize(2 * blocks[k].samples.size());
    velmora::pcm16Codec().encode(blocks[k].samples.data(), blocks[k].samples.size(), bytes[k].data());
  }
  std::vector<double> samples(velmora::blockSamples);
  for (auto _ : state) {
    for (std::size_t k = 0; k < blocks.size(); ++k) {
      const std::size_t from = blockFor(state, k);
      velmora::pcm16Codec().decode(bytes[from].data(), blocks[from].samples.size(), samples.data());
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

// The gain law and the clamp alone, over levels that stand for smoothed ones: the part of the
// gain stage that vectorises.
void gainLaw(benchmark::State& state) {
  const velmora::Compressor compressor(velmora::Settings{.truncate = true}, format.samplerate);
  std::vector<double> x(velmora::blockSamples);
  for (auto _ : state) {
    for (std::size_t k = 0; k < measured.size(); ++k) {
      const velmora::SampleBlock& block = measured[blockFor(state, k)];
      compressor.applyGains(block.windowSums.data(), x.data(), block.windowSums.size());
    }
    benchmark::DoNotOptimize(x.data());
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
    for (std::size_t k = 0; k < blocks.size(); ++k) {
      const velmora::SampleBlock& block = blocks[blockFor(state, k)];
      velmora::pcm16Codec().encode(block.samples.data(), block.samples.size(), bytes.data());
    }
    benchmark::DoNotOptimize(bytes.data());
  }
  count(state);
}

BENCHMARK(decoding)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(compressorLevels)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(compressorGain)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(gainLaw)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(bassBoost)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(gainAndBassBoost)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);
BENCHMARK(encoding)->Unit(benchmark::kMillisecond)->Iterations(5)->Arg(0)->Arg(1);

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
