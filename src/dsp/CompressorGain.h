#pragma once

#include "audio/Stage.h"
#include "dsp/Compressor.h"

// The compressor's smoothing and gain law as a stage: takes the blocks of pairs with their window
// levels, smooths the levels (the one serial step), and hands on each pair times its gain, clamped
// when asked, in the block it came in.

namespace velmora {

class CompressorGain : public Stage {
 public:
  explicit CompressorGain(const Compressor& compressor) : compressor(compressor) {}

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}

 private:
  Compressor compressor;
  double level = 0.0;  // the smoothed level
};

}  // namespace velmora
