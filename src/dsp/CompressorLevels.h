#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "audio/SampleCursor.h"
#include "audio/SignalFormat.h"
#include "dsp/Compressor.h"
#include "dsp/FloatingWindowSum.h"
#include "dsp/WindowSum.h"
#include "stream/Stage.h"
#include "stream/StreamShape.h"

// The compressor's window sums as a stage: takes the samples of a file as they arrive and hands
// each block on with the window sum of each of its pairs, as soon as every sample of those windows
// is there. Pair i's window holds the terms m in [back, front),
// back = 2i + 2 + Ln, its front bounded by the window length, by the pairs not yet finished
// (m < i + 2 + P) and by the end of the input (m + 1 < N); both ends only move forward, so the
// windows are kept as a running sum, exact on the whole-number samples of a file. Where the samples
// a block's windows read are not all whole numbers of the 16-bit range (deeper formats), the same
// windows are kept by a FloatingWindowSum instead, afresh at the block's first pair.
//
// A look-ahead and window up to heldWindowSamples long are read from the blocks themselves: a block
// waits until the samples its windows read have arrived, which are then added to its end for the
// while. Longer ones are read again from the file as they slide (the stream then brings only the
// pairs), so that memory stays bounded; a window whose exact sum reaches 2^53 quarters is then
// summed directly, term by term, as the definition does.

namespace velmora {

class CompressorLevels : public Stage {
 public:
  // Cursors on the file the samples come from, for windows too long to hold.
  using Cursors = std::function<std::unique_ptr<SampleCursor>()>;

  // For the samples of a file in format, named name (for the look-ahead's failure report).
  CompressorLevels(const Compressor& compressor, const SignalFormat& format, std::string name,
                   const Cursors& cursors, std::int64_t heldSamples = heldWindowSamples);

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink& next) override;
  void announce(std::ostream& out) const override;

 private:
  // Keeps blocks whole pairs long: an odd sample left over waits for the next block.
  void keepPairs(SampleBlock&& block);
  // Hands on the blocks whose windows have arrived.
  void handOnReady(BlockSink& next);
  // The index after the last sample that pairs up to last read.
  std::int64_t neededUntil(std::int64_t last) const;
  std::int64_t frontOf(std::int64_t pair, std::int64_t back) const;
  // The samples a block's windows read, from its first up to until.
  const double* extend(SampleBlock& block, std::int64_t until);
  void measureHeld(std::int64_t first, std::int64_t count, const double* x, double* sums);
  void measureHeldFloating(std::int64_t first, std::int64_t count, const double* x, double* sums);
  void measureFromFile(std::int64_t first, std::int64_t count, double* sums);
  void measureFromFileFloating(std::int64_t first, std::int64_t count, double* sums);
  // Notes where the samples from index at on stop being whole numbers of the 16-bit range.
  void noteFractions(const Samples& block, std::int64_t at);
  [[noreturn]] void failOnNegativeLookahead() const;

  Compressor compressor;
  std::string filename;
  std::int64_t samples;  // N
  std::int64_t pairs;    // P
  std::int64_t ln;
  std::int64_t wn;
  std::unique_ptr<SampleCursor> backs;    // reading again from the file: the terms that leave,
  std::unique_ptr<SampleCursor> fronts;   // those that enter,
  std::unique_ptr<SampleCursor> directs;  // and whole windows summed directly
  std::deque<SampleBlock> waiting;        // blocks of whole pairs whose windows have not all arrived
  std::optional<double> oddSample;
  WindowSum sum;
  bool sumValid = true;  // sum holds the window of the last pair measured
  // Samples of files deeper than 16 bits may be fractions: the last index of one, and the sums of
  // windows that read them.
  bool wholeFormat;
  std::int64_t arrived = 0;
  std::int64_t lastFraction = -1;
  FloatingWindowSum floating;
  Samples stitched;  // a block with the samples after it, for a long look-ahead and window
  static constexpr std::size_t extendedInPlace = 4096;
  std::int64_t nextPair = 0;  // the first pair of the first block waiting
};

}  // namespace velmora
