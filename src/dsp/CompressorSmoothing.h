#pragma once

#include "audio/Stage.h"
#include "dsp/Compressor.h"

// The compressor's detector and smoothing as a stage: takes the blocks of pairs with their window
// sums and replaces each sum by the smoothed level: the window's RMS, then the smoothing, the one
// serial step of the compressor, where each level waits for the one before. The RMS of the next
// pairs does not wait for it, and is worked out while it does.

namespace velmora {

class CompressorSmoothing : public Stage {
 public:
  explicit CompressorSmoothing(const Compressor& compressor) : compressor(compressor) {}

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}

 private:
  Compressor compressor;
  double level = 0.0;  // the smoothed level, carried from block to block
};

}  // namespace velmora
