#pragma once

#include <cstdint>
#include <string>

#include "audio/AudioSignal.h"
#include "audio/BlockPool.h"
#include "audio/Stage.h"
#include "dsp/Compressor.h"
#include "dsp/WindowSum.h"

// The compressor's window sums as a stage: takes the samples of a file as they arrive and hands on
// blocks of pairs, each block its pairs' samples followed by the window sum of each pair, as soon
// as every sample of those windows has arrived. Pair i's window holds the terms m in
// [back, front), back = 2i + 2 + Ln, its front bounded by the window length, by the pairs not yet
// finished (m < i + 2 + P) and by the end of the input (m + 1 < N); both ends only move forward,
// so the windows are kept as a running sum, exact on the whole-number samples of a file.

namespace velmora {

class CompressorLevels : public Stage {
 public:
  // For the samples of a file in format, named name (for the look-ahead's failure report).
  CompressorLevels(const Compressor& compressor, const SignalFormat& format, std::string name, BlockPool& pool);

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink& next) override;

 private:
  // Hands on the blocks of pairs whose windows have arrived: only full ones until the end.
  void handOnReady(BlockSink& next, bool atEnd);
  // The index after the last sample that pairs up to last read.
  std::int64_t neededUntil(std::int64_t last) const;
  std::int64_t frontOf(std::int64_t pair, std::int64_t back) const;
  void measure(std::int64_t first, std::int64_t count, double* block);
  void failOnNegativeLookahead() const;

  Compressor compressor;
  std::string filename;
  BlockPool& pool;
  AudioSignal input;
  WindowSum sum;
  std::int64_t samples;  // N
  std::int64_t pairs;    // P
  std::int64_t ln;
  std::int64_t wn;
  std::int64_t nextPair = 0;
};

}  // namespace velmora
