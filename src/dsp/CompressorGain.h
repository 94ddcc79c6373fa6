#pragma once

#include "audio/Stage.h"
#include "dsp/Compressor.h"

// The compressor's gain law as a stage: takes the blocks of pairs with their smoothed levels and
// hands on each pair times the gain of its level, clamped when asked, in the block it came in.
// Every pair stands alone, so the loop vectorises.

namespace velmora {

class CompressorGain : public Stage {
 public:
  explicit CompressorGain(const Compressor& compressor) : compressor(compressor) {}

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}

 private:
  Compressor compressor;
};

}  // namespace velmora
