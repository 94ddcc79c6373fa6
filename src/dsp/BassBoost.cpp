#include "dsp/BassBoost.h"

#include <algorithm>
#include <utility>

namespace velmora {

BassBoost::BassBoost(double smooth, double output, double bass, double state, std::int64_t samples)
    : current{smooth, output, bass, 1 / (smooth + 1), state}, remaining(samples) {}

void BassBoost::step(SampleBlock&& block, BlockSink& next) {
  block.resize(static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(block.size()))));
  remaining -= static_cast<std::int64_t>(block.size());
  Filter local = current;  // in registers through the loop
  double* x = block.data();
  for (std::size_t from = 0; from < block.size(); from += quietCheckSamples) {
    const std::size_t to = std::min(block.size(), from + quietCheckSamples);
    if (local.quiet()) {
      local.settled = false;
      for (std::size_t i = from; i < to; ++i) {
        x[i] = local.quietStep(x[i]);
      }
    } else {
      for (std::size_t i = from; i < to; ++i) {
        x[i] = local.bassStep(x[i]);
      }
    }
  }
  filtered(local, block.data(), block.size());
  next.put(std::move(block));
}

void BassBoost::filtered(const Filter& after, const double* outputs, std::size_t count) {
  current = after;
  const std::size_t kept = 2 * reportedPairs;
  const std::size_t taken = std::min(count, kept);
  recent.insert(recent.end(), outputs + (count - taken), outputs + count);
  while (recent.size() > kept) {
    recent.pop_front();
  }
}

}  // namespace velmora
