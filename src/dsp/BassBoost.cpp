#include "dsp/BassBoost.h"

#include <cstdint>
#include <span>

namespace velmora {

BassBoost::BassBoost(double smooth, double output, double bass, double state)
    : smoothing(smooth), outputGain(output), bassGain(bass), scale(1 / (smooth + 1)), y(state) {}

void BassBoost::run(AudioSignal& input, OutputSignal& output) {
  const std::int64_t samples = input.getNoSamples() / 2 * 2;
  if (samples <= 0) {
    return;
  }
  output.reserveOver(input, samples);
  const std::span<const double> x = input.ahead();
  if (static_cast<std::int64_t>(x.size()) < samples) {
    runDirect(input, output);  // a cursor past the start: rci's zeros past the end apply
    return;
  }
  input.advance(static_cast<std::int32_t>(samples));
  const double* in = x.data();
  double* out = output.extend(samples).data();  // may be in's own array, one step behind
  // A local copy of the filter: as far as the compiler knows, out may point at this object, so
  // without it every step would store and reload the state and the coefficients.
  BassBoost filter(*this);
  for (std::int64_t i = 0; i < samples; ++i) {
    out[i] = filter.step(in[i]);
  }
  y = filter.y;
}

void BassBoost::runDirect(AudioSignal& input, OutputSignal& output) {
  const std::int64_t pairs = input.getNoSamples() / 2;
  for (std::int64_t i = 0; i < pairs; ++i) {
    output.append(step(input.rci()));
    output.append(step(input.rci()));
  }
}

}  // namespace velmora
