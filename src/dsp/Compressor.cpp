#include "dsp/Compressor.h"

#include <algorithm>

namespace velmora {

namespace {

// Times to sample counts truncate toward zero; values beyond 32 bits saturate instead of
// wrapping into a negative count. Times and rates are numbers, never NaN: so are their products.
std::int32_t toCount(double samples) {
  return static_cast<std::int32_t>(std::clamp(samples, -2147483648.0, 2147483647.0));
}

double coefficient(double milliseconds, double rate) {
  const double seconds = milliseconds * 0.001;
  return seconds == 0 ? 0.0 : std::exp(-1 / (seconds * rate));
}

}  // namespace

Compressor::Compressor(const CompressorSettings& settings, double samplerate)
    : t(settings.threshold * 0.01),
      s((settings.slope / 100) * 0.01),
      truncate(settings.truncate) {
  const double r = std::trunc(samplerate);
  ca = coefficient(settings.tatt, r);
  cr = coefficient(settings.trel, r);
  keepA = 1 - ca;
  keepR = 1 - cr;
  wn = toCount(r * (settings.twnd * 0.001));
  ln = toCount(r * (settings.tla * 0.001));
  windowLength = wn;
}

}  // namespace velmora
