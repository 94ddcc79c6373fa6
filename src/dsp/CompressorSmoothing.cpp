#include "dsp/CompressorSmoothing.h"

#include <utility>

namespace velmora {

void CompressorSmoothing::step(SampleBlock&& block, BlockSink& next) {
  // Local copies, so that they stay in registers: as far as the compiler knows, the block may
  // alias this object.
  const Compressor c(compressor);
  const std::size_t count = block.size() / 3;
  double* levels = block.data() + 2 * count;
  double smoothed = level;
  for (std::size_t b = 0; b < count; ++b) {
    smoothed = c.smooth(smoothed, c.detect(levels[b]));
    levels[b] = smoothed;
  }
  level = smoothed;
  next.put(std::move(block));
}

}  // namespace velmora
