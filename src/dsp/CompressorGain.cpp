#include "dsp/CompressorGain.h"

#include <utility>

namespace velmora {

void CompressorGain::step(SampleBlock&& block, BlockSink& next) {
  const std::size_t count = block.size() / 3;
  double* x = block.data();
  double* sums = x + 2 * count;
  bass != nullptr ? smoothApplyAndBoost(x, sums, count) : smoothAndApply(x, sums, count);
  block.resize(2 * count);
  next.put(std::move(block));
}

// Two passes: the smoothing alone in its loop, then the gain law, where each pair stands alone
// and the loop vectorises.
void CompressorGain::smoothAndApply(double* x, double* sums, std::size_t count) {
  const Compressor c(compressor);  // in registers: the block may alias this object
  double smoothed = level;
  for (std::size_t b = 0; b < count; ++b) {
    smoothed = c.smooth(smoothed, c.detect(sums[b]));
    sums[b] = smoothed;
  }
  level = smoothed;
  for (std::size_t b = 0; b < count; ++b) {
    const double gain = c.gainAt(sums[b]);
    x[2 * b] = c.limit(x[2 * b] * gain);
    x[2 * b + 1] = c.limit(x[2 * b + 1] * gain);
  }
}

void CompressorGain::smoothApplyAndBoost(double* x, const double* sums, std::size_t count) {
  const Compressor c(compressor);
  BassBoost::Filter filter = bass->filter();
  double smoothed = level;
  for (std::size_t b = 0; b < count; ++b) {
    // The block was filled on another processor, and a loop that waits on its chains asks for its
    // memory too late on its own: the lines a thousand bytes ahead are asked for now.
    __builtin_prefetch(x + 2 * b + 128, 1);
    __builtin_prefetch(sums + b + 128);
    smoothed = c.smooth(smoothed, c.detect(sums[b]));
    const double gain = c.gainAt(smoothed);
    x[2 * b] = filter.bassStep(c.limit(x[2 * b] * gain));
    x[2 * b + 1] = filter.bassStep(c.limit(x[2 * b + 1] * gain));
  }
  level = smoothed;
  bass->filtered(filter, x, 2 * count);
}

}  // namespace velmora
