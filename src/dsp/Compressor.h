#pragma once

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The look-ahead dynamic range compressor's arithmetic. For every pair of input samples it
// measures the RMS level of a window that starts a little ahead of the pair (the detector),
// smooths it with an attack or release coefficient, turns it into a gain by a straight-line law
// above the threshold, and multiplies the pair by that gain (optionally clamped to +-30000). The
// stages CompressorLevels and CompressorGain run these steps over a stream.

namespace velmora {

struct CompressorSettings {
  double threshold = 65.0;  // hundredths of a sample unit
  double slope = 4.0;       // ten-thousandths
  double tla = 1.0;         // look-ahead, ms
  double twnd = 10.0;       // window, ms
  double tatt = 0.2;        // attack, ms
  double trel = 1.0;        // release, ms
  bool truncate = false;
};

class Compressor {
 public:
  Compressor(const CompressorSettings& settings, double samplerate);
  virtual ~Compressor() = default;

  // The look-ahead and the window in samples, truncated toward zero from the whole sample rate.
  std::int32_t lookahead() const { return ln; }
  std::int32_t window() const { return wn; }

  // The detector: the RMS of a window's sum of squared pair means.
  double detect(double windowSum) const { return std::sqrt(windowSum / windowLength); }
  // Smoothing: attack while the level rises, release otherwise (also for a level that is NaN).
  double smooth(double level, double rms) const {
    const double attack = ca * level + keepA * rms;
    const double release = cr * level + keepR * rms;
#if defined(__SSE2__)
    // The same choice by a mask instead of a branch: in music the level rises and falls from pair
    // to pair in no pattern a branch predictor could learn.
    const __m128d rises = _mm_cmpgt_sd(_mm_set_sd(rms), _mm_set_sd(level));
    return _mm_cvtsd_f64(_mm_or_pd(_mm_and_pd(rises, _mm_set_sd(attack)), _mm_andnot_pd(rises, _mm_set_sd(release))));
#else
    return rms > level ? attack : release;
#endif
  }
  // The gain law: 6 up to the threshold, then a straight line falling from 2.
  double gainAt(double level) const { return level > t ? (6.0 - (level - t) * s) / 3.0 : 6.0; }
  // The clamp to +-30000, when asked for.
  double limit(double sample) const {
    if (!truncate) {
      return sample;
    }
    return sample > clampBound ? clampBound : (sample < -clampBound ? -clampBound : sample);
  }

 private:
  static constexpr double clampBound = 30000.0;

  double t;
  double s;
  double ca;
  double cr;
  double keepA;  // 1 - ca and 1 - cr, computed once
  double keepR;
  std::int32_t ln;
  std::int32_t wn;
  double windowLength;  // wn as a double, converted once
  bool truncate;
};

}  // namespace velmora
