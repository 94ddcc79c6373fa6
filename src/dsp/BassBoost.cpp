#include "dsp/BassBoost.h"

#include <algorithm>
#include <cstdint>

#include "audio/ProcessExit.h"

namespace velmora {

BassBoost::BassBoost(double smooth, double output, double bass, double state)
    : smoothing(smooth), outputGain(output), bassGain(bass), scale(1 / (smooth + 1)), y(state) {}

void BassBoost::run(AudioSignal& input, OutputSignal& output) {
  auto remaining = static_cast<std::size_t>(std::max(0, input.getNoSamples() / 2 * 2));
  SampleBlock block;
  while (remaining > 0 && input.takeBlock(block)) {
    block.resize(std::min(block.size(), remaining));  // a last odd sample is dropped
    remaining -= block.size();
    filter(block);
    output.appendBlock(std::move(block));
  }
  if (remaining > 0) {
    throw Failure{"Can't read signal data\n", exitFileFailure};  // the reader reports why
  }
}

void BassBoost::filter(SampleBlock& block) {
  // A local copy of the filter's numbers, so that they stay in registers through the loop.
  BassBoost local(smoothing, outputGain, bassGain, y);
  for (double& x : block) {
    x = local.step(x);
  }
  y = local.y;
  remember(block.data(), block.size());
}

void BassBoost::runDirect(AudioSignal& input, OutputSignal& output) {
  const std::int64_t pairs = input.getNoSamples() / 2;
  for (std::int64_t i = 0; i < pairs; ++i) {
    const double outa = step(input.rci());
    const double outb = step(input.rci());
    output.append(outa);
    output.append(outb);
    const double both[] = {outa, outb};
    remember(both, 2);
  }
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
