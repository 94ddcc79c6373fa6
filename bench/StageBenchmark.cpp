// Samples per second of the compressor (running and direct window sums) and of the bass boost,
// on a WAV file given as the first argument (the benchmark script passes ten minutes of the
// sample generator's music).
//
//   velmora_bench file.wav [benchmark options]
//
// Freed arrays stay in the process (no mmap, no trimming), so that after the first iteration
// each stage writes into memory that is already touched: the figures are the loops' own speed,
// not the kernel's first-touch cost, which the end-to-end measurement includes.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <climits>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "dsp/AudioProcessor.h"
#include "dsp/Compressor.h"

namespace {

std::string inputFile;
std::ofstream discard("/dev/null");

// A processor on the input, built and loaded outside the timed region.
std::unique_ptr<velmora::AudioProcessor> loadedProcessor(benchmark::State& state) {
  state.PauseTiming();
  std::streambuf* previous = std::cout.rdbuf(discard.rdbuf());
  auto processor = std::make_unique<velmora::AudioProcessor>(inputFile);
  std::cout.rdbuf(previous);
  state.ResumeTiming();
  return processor;
}

void runCompressor(benchmark::State& state, velmora::Compressor::WindowMethod method, int divisor) {
  std::int64_t samples = 0;
  for (auto _ : state) {
    auto processor = loadedProcessor(state);
    velmora::AudioSignal& input = processor->getInput();
    input.setNoSamples(input.getNoSamples() / divisor);
    velmora::Compressor({}, input.getSampleRate()).run(input, processor->getOutput(), method);
    samples += processor->getOutput().getCount();
    benchmark::DoNotOptimize(processor->getOutput().getOutBuff().get());
  }
  state.counters["samples_per_second"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

void compressorRunning(benchmark::State& state) { runCompressor(state, velmora::Compressor::WindowMethod::running, 1); }

// The definition's direct window sums, on a hundredth of the input: they re-add 441 terms per pair.
void compressorDirect(benchmark::State& state) { runCompressor(state, velmora::Compressor::WindowMethod::direct, 100); }

void bassBoost(benchmark::State& state) {
  std::int64_t samples = 0;
  for (auto _ : state) {
    auto processor = loadedProcessor(state);
    std::streambuf* previous = std::cout.rdbuf(discard.rdbuf());
    processor->applyBassBoost(70.0, 0.2, 12.0);
    std::cout.rdbuf(previous);
    samples += processor->getOutput().getCount();
  }
  state.counters["samples_per_second"] = benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
}

// Grows the heap to its working size once, so that every measured iteration reuses touched pages.
void warmUp() {
  std::streambuf* previous = std::cout.rdbuf(discard.rdbuf());
  {
    velmora::AudioProcessor first(inputFile);
    first.applyCompressor(65, 4, 1, 10, 0.2, 1, false);
    first.useOutputAsInput();
    first.applyBassBoost(70.0, 0.2, 12.0);
  }
  std::cout.rdbuf(previous);
}

BENCHMARK(compressorRunning)->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(compressorDirect)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(bassBoost)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cout << "usage: velmora_bench file.wav [benchmark options]" << std::endl;
    return 2;
  }
  inputFile = argv[1];
  argv[1] = argv[0];
  --argc;
  ++argv;
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT_MAX);
  warmUp();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
