#pragma once

#include <limits>

#include "audio/Stage.h"
#include "dsp/BassBoost.h"
#include "dsp/Compressor.h"

// The rest of the compressor as a stage: takes the blocks of pairs with their window sums and, pair
// by pair, the detector's RMS of the window, the smoothing, the gain law and the clamp; it hands on
// the pairs times their gains, in the block they came in. The smoothing is a chain in which each
// level waits for the one before, and its loop holds nothing else. When the bass boost follows, its
// filter, another such chain, runs in the same loop instead: two chains in one loop wait side by
// side, where one after the other they would wait twice as long.

namespace velmora {

class CompressorGain : public Stage {
 public:
  explicit CompressorGain(const Compressor& compressor) : compressor(compressor) {}
  // The bass boost whose filter runs here, after the gain.
  void boostWith(BassBoost* boost) { bass = boost; }

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}

 private:
  void smoothAndApply(double* x, double* sums, std::size_t count);
  void smoothApplyAndBoost(double* x, const double* sums, std::size_t count);
  static bool quietSmooth(const Compressor& c, double& smoothed, double sum, bool& still);
  // A level small enough to be quiet, as the bass boost's filter state can be.
  static bool quiet(double level) { return level < std::numeric_limits<double>::min(); }
  static constexpr std::size_t quietCheckPairs = BassBoost::quietCheckSamples / 2;

  Compressor compressor;
  BassBoost* bass = nullptr;
  double level = 0.0;  // the smoothed level, carried from block to block
};

}  // namespace velmora
