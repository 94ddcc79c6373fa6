#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "cli/Settings.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The look-ahead dynamic range compressor's arithmetic. For every pair of input samples it
// measures the RMS level of a window that starts a little ahead of the pair (the detector),
// smooths it with an attack or release coefficient, turns it into a gain by a straight-line law
// above the threshold, and multiplies the pair by that gain (optionally clamped to +-30000). The
// stages CompressorLevels and CompressorGain (or GainAndBassBoost) run these steps over a stream.

namespace velmora {

class Compressor {
 public:
  // The settings' threshold, slope, look-ahead, window, attack, release and clamp, at samplerate.
  Compressor(const Settings& settings, double samplerate);
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

  // Silent windows (sums of 0) bring the level down to a fixed point among the subnormal numbers,
  // where each step costs a hundred normal ones. A quiet step skips the work when the last silent
  // step left the level as it was (still), and says whether it skipped.
  bool quietSmooth(double& level, double sum, bool& still) const {
    if (still && sum == 0) {
      return true;
    }
    const double next = smooth(level, detect(sum));
    still = sum == 0 && next == level;
    level = next;
    return false;
  }
  static bool quiet(double level) { return level < std::numeric_limits<double>::min(); }

  // The smoothed levels after count window sums, written over them, carried on from level. The
  // loop holds the detector and the smoothing alone: each level waits for the one before, and the
  // detector's division and square root, which wait for nothing, fill that time.
  void smoothLevels(double& level, double* sums, std::size_t count) const;
  // The pairs of x times the gains of their levels, clamped where asked: each pair stands alone,
  // and the loop vectorises.
  void applyGains(const double* levels, double* x, std::size_t pairs) const;

  // How often the loops ask whether a level has become quiet: little enough work is done slowly
  // before they notice, and the question costs nothing between.
  static constexpr std::size_t quietCheckPairs = 64;

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
