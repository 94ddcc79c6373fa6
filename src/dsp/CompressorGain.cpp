#include "dsp/CompressorGain.h"

#include <algorithm>
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
  bool still = false;
  for (std::size_t from = 0; from < count; from += quietCheckPairs) {
    const std::size_t to = std::min(count, from + quietCheckPairs);
    if (quiet(smoothed)) {
      still = false;
      for (std::size_t b = from; b < to; ++b) {
        quietSmooth(c, smoothed, sums[b], still);
        sums[b] = smoothed;
      }
    } else {
      for (std::size_t b = from; b < to; ++b) {
        smoothed = c.smooth(smoothed, c.detect(sums[b]));
        sums[b] = smoothed;
      }
    }
  }
  level = smoothed;
  // A block whose level stood still throughout has one gain, worked out once: the gain law is slow
  // on a subnormal level. In music the second level already differs.
  if (std::all_of(sums, sums + count, [&sums](double l) { return l == sums[0]; })) {
    const double gain = c.gainAt(smoothed);
    for (std::size_t i = 0; i < 2 * count; ++i) {
      x[i] = c.limit(x[i] * gain);
    }
    return;
  }
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
  bool still = false;
  for (std::size_t from = 0; from < count; from += quietCheckPairs) {
    const std::size_t to = std::min(count, from + quietCheckPairs);
    if (quiet(smoothed) || filter.quiet()) {
      still = false;
      filter.settled = false;
      double gain = c.gainAt(smoothed);
      for (std::size_t b = from; b < to; ++b) {
        if (!quietSmooth(c, smoothed, sums[b], still)) {
          gain = c.gainAt(smoothed);
        }
        x[2 * b] = filter.quietStep(c.limit(x[2 * b] * gain));
        x[2 * b + 1] = filter.quietStep(c.limit(x[2 * b + 1] * gain));
      }
      continue;
    }
    for (std::size_t b = from; b < to; ++b) {
      // The block was filled on another processor, and a loop that waits on its chains asks for
      // its memory too late on its own: the lines a thousand bytes ahead are asked for now.
      __builtin_prefetch(x + 2 * b + 128, 1);
      __builtin_prefetch(sums + b + 128);
      smoothed = c.smooth(smoothed, c.detect(sums[b]));
      const double gain = c.gainAt(smoothed);
      x[2 * b] = filter.bassStep(c.limit(x[2 * b] * gain));
      x[2 * b + 1] = filter.bassStep(c.limit(x[2 * b + 1] * gain));
    }
  }
  level = smoothed;
  bass->filtered(filter, x, 2 * count);
}

// Silent windows (sums of 0) bring the level down to a fixed point among the subnormal numbers,
// where each step costs a hundred normal ones. A quiet step skips the work when the last silent
// step left the level as it was (still), and says whether it skipped.
bool CompressorGain::quietSmooth(const Compressor& c, double& smoothed, double sum, bool& still) {
  if (still && sum == 0) {
    return true;
  }
  const double next = c.smooth(smoothed, c.detect(sum));
  still = sum == 0 && next == smoothed;
  smoothed = next;
  return false;
}

}  // namespace velmora
