#include "dsp/Compressor.h"

#include <algorithm>
#include <array>
#include <span>

#include "dsp/WindowSum.h"

namespace velmora {

namespace {

constexpr double largestIntegerSample = 32768.0;

// Times to sample counts truncate toward zero; values beyond 32 bits saturate instead of
// wrapping into a negative count.
std::int32_t toCount(double samples) {
  if (std::isnan(samples)) {
    return 0;
  }
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

void Compressor::run(AudioSignal& input, OutputSignal& output, WindowMethod method) const {
  const std::int64_t pairs = input.getNoSamples() / 2;
  if (pairs <= 0) {
    return;
  }
  // The running loop indexes the input from its start, where a stage's cursor stands.
  const bool fromStart = input.ahead().size() == static_cast<std::size_t>(input.getNoSamples());
  const bool running = fromStart && (method == WindowMethod::running ||
                                     (method == WindowMethod::automatic && runningSumIsExact(input)));
  output.reserveOver(input, 2 * pairs);  // after the check: it forgets what is known of the samples
  if (running) {
    runRunning(input, output, pairs);
  } else {
    runDirect(input, output, pairs);
  }
}

// The definition: every pair sums its window afresh through the signal's reads. A term adds
// nothing when k reaches the pairs not yet finished, or when its samples would lie at or past
// the end of the input. Each output overwrites at most a sample already read.
void Compressor::runDirect(AudioSignal& input, OutputSignal& output, std::int64_t pairs) const {
  const std::int64_t n = input.getNoSamples();
  double level = 0.0;
  for (std::int64_t i = 0; i < pairs; ++i) {
    const double s1 = input.rci();
    const double s2 = input.rci();
    double sum = 0;
    for (std::int64_t j = 0; j < wn; ++j) {
      const std::int64_t k = ln + j;
      if (k >= pairs - i || 2 * i + 3 + k >= n) {
        break;
      }
      const auto offset = static_cast<std::int32_t>(k);
      const double a = input.future(offset);
      const double b = input.future(offset + 1);
      const double mean = 0.5 * a + 0.5 * b;
      sum += mean * mean;
    }
    level = finishPair(level, detect(sum), s1, s2, [&output](double v) { output.append(v); });
  }
}

// The same windows as a running sum. Pair i sums the terms m in [back, front) with
// back = 2i + 2 + Ln and front bounded by the window length, by the pairs not yet finished
// (m < i + 2 + P) and by the end of the input (m + 1 < N); both only move forward.
//
// Pairs go through in blocks: first the window levels of the whole block, then pair by pair the
// smoothing, the one step that depends on the pair before, with the gain and the outputs. Every
// value is the same arithmetic on the same operands as pair by pair; the split only lets the
// processor overlap the divisions and square roots of many pairs. The levels of a block read
// samples from 2 * first + Ln on, which no output has overwritten yet.
void Compressor::runRunning(AudioSignal& input, OutputSignal& output, std::int64_t pairs) const {
  constexpr std::int64_t blockPairs = 256;
  std::array<double, blockPairs> rms{};
  const std::span<const double> x = input.ahead();
  input.advance(static_cast<std::int32_t>(2 * pairs));
  double* out = output.extend(2 * pairs).data();  // may be x's own array
  const auto n = static_cast<std::int64_t>(x.size());
  WindowSum sum(x, 2 + std::int64_t{ln});
  // A local copy, so that the coefficients stay in registers: as far as the compiler knows, out
  // may point at this object.
  const Compressor stage(*this);
  double level = 0.0;
  for (std::int64_t first = 0; first < pairs; first += blockPairs) {
    const std::int64_t used = std::min(blockPairs, pairs - first);
    for (std::int64_t b = 0; b < used; ++b) {
      const std::int64_t i = first + b;
      const std::int64_t back = 2 * i + 2 + stage.ln;
      sum.slideTo(back, std::min({back + stage.wn, i + 2 + pairs, n - 1}));
      rms[static_cast<std::size_t>(b)] = sum.value();
    }
    for (std::int64_t b = 0; b < used; ++b) {
      rms[static_cast<std::size_t>(b)] = stage.detect(rms[static_cast<std::size_t>(b)]);
    }
    for (std::int64_t i = first; i < first + used; ++i) {
      const auto at = static_cast<std::size_t>(2 * i);
      level = stage.finishPair(level, rms[static_cast<std::size_t>(i - first)], x[at], x[at + 1],
                         [&out](double v) { *out++ = v; });
    }
  }
}

// The running sum needs whole-number samples, a look-ahead that keeps its reads ahead of the
// cursor, and windows that stay exact. A loaded file's samples are known to be whole numbers of
// its bit depth; an array of unknown origin is checked sample by sample.
bool Compressor::runningSumIsExact(const AudioSignal& input) const {
  if (ln < 0) {
    return false;
  }
  const double known = input.knownIntegerBound();
  if (known > 0 && WindowSum::isExact(known, wn)) {
    return true;
  }
  double largest = 0.0;
  for (const double x : input.ahead()) {
    if (!(x == std::trunc(x) && std::fabs(x) <= largestIntegerSample)) {
      return false;
    }
    largest = std::max(largest, std::fabs(x));
  }
  return WindowSum::isExact(largest, wn);
}

}  // namespace velmora
