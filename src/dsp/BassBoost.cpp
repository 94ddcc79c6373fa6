#include "dsp/BassBoost.h"

#include <algorithm>
#include <utility>

namespace velmora {

BassBoost::BassBoost(double smooth, double output, double bass, double state, std::int64_t samples)
    : smoothing(smooth), outputGain(output), bassGain(bass), scale(1 / (smooth + 1)), y(state), remaining(samples) {}

void BassBoost::step(SampleBlock&& block, BlockSink& next) {
  block.resize(static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(block.size()))));
  remaining -= static_cast<std::int64_t>(block.size());
  filter(block);
  next.put(std::move(block));
}

void BassBoost::filter(SampleBlock& block) {
  // A local copy of the filter's numbers, so that they stay in registers through the loop.
  BassBoost local(smoothing, outputGain, bassGain, y, 0);
  for (double& x : block) {
    x = local.bassStep(x);
  }
  y = local.y;
  remember(block.data(), block.size());
}

void BassBoost::remember(const double* outputs, std::size_t count) {
  const std::size_t kept = 2 * reportedPairs;
  const std::size_t taken = std::min(count, kept);
  recent.insert(recent.end(), outputs + (count - taken), outputs + count);
  while (recent.size() > kept) {
    recent.pop_front();
  }
}

}  // namespace velmora
