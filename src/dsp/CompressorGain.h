#pragma once

#include "dsp/Compressor.h"
#include "stream/Stage.h"

// The rest of the compressor as a stage: takes the blocks of pairs with their window sums and, pair
// by pair, the detector's RMS of the window, the smoothing, the gain law and the clamp; it hands on
// the pairs times their gains.

namespace velmora {

class CompressorGain : public Stage {
 public:
  explicit CompressorGain(const Compressor& compressor) : compressor(compressor) {}

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}

 private:
  Compressor compressor;
  double level = 0.0;  // the smoothed level, carried from block to block
};

}  // namespace velmora
