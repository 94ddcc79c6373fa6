// Samples per second of each stage on its own, one thread, on the samples of a WAV file given as
// the first argument (the benchmark script passes ten minutes of the sample generator's music):
// the compressor's window levels, its smoothing and gain, the bass boost, and the writer's
// encoding. The file is decoded once, outside the timed region, into blocks held in memory.
//
//   velmora_bench file.wav [benchmark options]

#include <benchmark/benchmark.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "audio/OutputSignal.h"
#include "audio/WavReader.h"
#include "audio/WavWriter.h"
#include "dsp/BassBoost.h"
#include "dsp/Compressor.h"

namespace {

velmora::SignalFormat format;
std::vector<velmora::SampleBlock> blocks;

// A closed stream of the file's blocks.
std::unique_ptr<velmora::BlockQueue> fileStream() {
  auto stream = std::make_unique<velmora::BlockQueue>(blocks.size() + 1);
  for (const velmora::SampleBlock& block : blocks) {
    stream->push(velmora::SampleBlock(block));
  }
  stream->close();
  return stream;
}

// A stream whose blocks a thread of its own takes and gives back for reuse, as the next stage does.
struct Sink {
  velmora::BlockQueue queue{2};
  std::jthread taker{[this] {
    for (velmora::SampleBlock block; queue.pop(block);) {
      queue.giveBack(std::move(block));
    }
  }};
  ~Sink() { queue.close(); }
};

void count(benchmark::State& state) {
  state.counters["samples_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * format.nosamples, benchmark::Counter::kIsRate);
}

void compressorLevels(benchmark::State& state) {
  const velmora::Compressor compressor({}, format.samplerate);
  for (auto _ : state) {
    state.PauseTiming();
    auto in = fileStream();
    velmora::AudioSignal input("in.wav", format, *in, true);
    Sink measured;
    state.ResumeTiming();
    compressor.measure(input, measured.queue);
  }
  count(state);
}

void compressorGain(benchmark::State& state) {
  const velmora::Compressor compressor({}, format.samplerate);
  for (auto _ : state) {
    state.PauseTiming();
    auto in = fileStream();
    velmora::AudioSignal input("in.wav", format, *in, true);
    velmora::BlockQueue measured(blocks.size() + 2);
    compressor.measure(input, measured);
    measured.close();
    Sink out;
    velmora::OutputSignal output(input, out.queue);
    state.ResumeTiming();
    compressor.applyGain(measured, output);
  }
  count(state);
}

void bassBoost(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto in = fileStream();
    velmora::AudioSignal input("in.wav", format, *in, true);
    Sink out;
    velmora::OutputSignal output(input, out.queue);
    state.ResumeTiming();
    velmora::BassBoost(70.0, 0.2, 12.0, 0.0).run(input, output);
  }
  count(state);
}

void encoding(benchmark::State& state) {
  std::vector<unsigned char> bytes(2 * velmora::WavReader::blockSamples);
  for (auto _ : state) {
    for (const velmora::SampleBlock& block : blocks) {
      velmora::WavWriter::encode(block.data(), block.size(), 16, bytes.data());
    }
    benchmark::DoNotOptimize(bytes.data());
  }
  count(state);
}

BENCHMARK(compressorLevels)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(compressorGain)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(bassBoost)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(encoding)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cout << "usage: velmora_bench file.wav [benchmark options]" << std::endl;
    return 2;
  }
  velmora::WavReader reader(argv[1]);
  if (const auto failure = reader.readHeader()) {
    std::cout << *failure << std::endl;
    return 1;
  }
  format = reader.getFormat();
  for (velmora::SampleBlock block; reader.readBlock(block);) {
    blocks.push_back(block);
  }
  argv[1] = argv[0];
  --argc;
  ++argv;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
