#include "dsp/CompressorGain.h"

#include <utility>

namespace velmora {

void CompressorGain::step(SampleBlock&& block, BlockSink& next) {
  const std::size_t pairs = block.windowSums.size();
  compressor.smoothLevels(level, block.windowSums.data(), pairs);
  compressor.applyGains(block.windowSums.data(), block.samples.data(), pairs);
  block.samples.resize(2 * pairs);
  block.windowSums = Samples();  // no stage after it reads them
  next.put(std::move(block));
}

}  // namespace velmora
