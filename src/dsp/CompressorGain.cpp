#include "dsp/CompressorGain.h"

#include <utility>

namespace velmora {

void CompressorGain::step(SampleBlock&& block, BlockSink& next) {
  const Compressor c(compressor);  // in registers: the block may alias this object
  const std::size_t count = block.size() / 3;
  double* x = block.data();
  const double* levels = x + 2 * count;
  for (std::size_t b = 0; b < count; ++b) {
    const double gain = c.gainAt(levels[b]);
    x[2 * b] = c.limit(x[2 * b] * gain);
    x[2 * b + 1] = c.limit(x[2 * b + 1] * gain);
  }
  block.resize(2 * count);
  next.put(std::move(block));
}

}  // namespace velmora
