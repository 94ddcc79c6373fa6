#pragma once

#include <cmath>
#include <cstdint>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "audio/AudioSignal.h"
#include "audio/OutputSignal.h"
#include "dsp/WindowSum.h"

// The look-ahead dynamic range compressor. For every pair of input samples it measures the RMS
// level of a window that starts a little ahead of the pair, smooths it with an attack or release
// coefficient, turns it into a gain by a straight-line law above the threshold, and appends the
// pair times that gain (optionally clamped to +-30000).

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
  // How the window sums are formed. Both give the same doubles on whole-number samples; the
  // running sum is linear in the input length, the direct sum re-adds the window for every pair
  // through the signal's reads, as the definition states it.
  enum class WindowMethod { automatic, direct, running };

  Compressor(const CompressorSettings& settings, double samplerate);
  virtual ~Compressor() = default;

  // Compresses input from its first sample into output on the caller's thread: direct as the
  // definition states it; otherwise through measure and applyGain, holding every measured block.
  void run(AudioSignal& input, OutputSignal& output, WindowMethod method = WindowMethod::automatic) const;

  // The compressor in two halves that run side by side on a stream. measure reads the input and
  // hands on blocks of pairs, each block its samples followed by the window level of each of its
  // pairs; automatic takes the running sums where the input is known to hold whole numbers and
  // the look-ahead keeps the windows ahead of the cursor, and the direct sums otherwise.
  // applyGain smooths the levels, the one serial step, and turns each block into its outputs.
  void measure(AudioSignal& input, BlockQueue& measured, WindowMethod method = WindowMethod::automatic) const;
  // then, when given, carries each block on (the next stage, on the same thread) before it is handed on.
  void applyGain(BlockQueue& measured, OutputSignal& output,
                 const std::function<void(SampleBlock&)>& then = nullptr) const;

  std::int32_t lookahead() const { return ln; }
  std::int32_t window() const { return wn; }
  double attackCoefficient() const { return ca; }
  double releaseCoefficient() const { return cr; }

  // The steps of one pair. The level detector: the RMS of the window's sum of squared pair means.
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
  double limit(double sample) const {
    if (!truncate) {
      return sample;
    }
    return sample > clampBound ? clampBound : (sample < -clampBound ? -clampBound : sample);
  }

 private:
  static constexpr double clampBound = 30000.0;

  // Everything after the window level, shared by both loops: smoothing, gain, limit and the two
  // outputs of the pair. Returns the new smoothed level.
  template <class Append>
  double finishPair(double level, double rms, double s1, double s2, Append append) const {
    const double next = smooth(level, rms);
    const double gain = gainAt(next);
    append(limit(s1 * gain));
    append(limit(s2 * gain));
    return next;
  }
  void runDirect(AudioSignal& input, OutputSignal& output, std::int64_t pairs) const;
  double directSum(AudioSignal& input, std::int64_t i, std::int64_t pairs) const;
  void measureDirect(AudioSignal& input, std::int64_t first, std::int64_t count, double* block) const;
  void measureRunning(AudioSignal& input, WindowSum& sum, std::int64_t first, std::int64_t count, double* block) const;

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
