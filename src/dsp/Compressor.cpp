#include "dsp/Compressor.h"

#include <algorithm>
#include <array>
#include <span>

namespace velmora {

namespace {

constexpr double largestIntegerSample = 32768.0;
// 2^53: every integer below it is a double.
constexpr double exactQuarterUnits = 9007199254740992.0;

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

// The window term of the samples m and m + 1, (0.5a + 0.5b)^2, kept as the integer (a + b)^2,
// four times its value.
std::int64_t quadrupleTerm(std::span<const double> x, std::int64_t m) {
  const auto at = static_cast<std::size_t>(m);
  const auto pairSum = static_cast<std::int64_t>(x[at]) + static_cast<std::int64_t>(x[at + 1]);
  return pairSum * pairSum;
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
  output.reserve(2 * pairs);
  const bool running = method == WindowMethod::running ||
                       (method == WindowMethod::automatic && runningSumIsExact(input));
  if (running) {
    runRunning(input, output, pairs);
  } else {
    runDirect(input, output, pairs);
  }
}

// The definition: every pair sums its window afresh. A term adds nothing when k reaches the
// pairs not yet finished, or when its samples would lie at or past the end of the input.
void Compressor::runDirect(AudioSignal& input, OutputSignal& output, std::int64_t pairs) const {
  const std::int64_t n = input.getNoSamples();
  double level = 0.0;
  for (std::int64_t i = 0; i < pairs; ++i) {
    const double s1 = input.rci();
    const double s2 = input.rci();
    const std::int64_t terms = std::min<std::int64_t>(wn, pairs - i - ln);
    double sum = 0;
    for (std::int64_t j = 0; j < terms; ++j) {
      const std::int64_t k = ln + j;
      if (2 * i + 3 + k >= n) {
        break;
      }
      const auto offset = static_cast<std::int32_t>(k);
      const double a = input.future(offset);
      const double b = input.future(offset + 1);
      const double mean = 0.5 * a + 0.5 * b;
      sum += mean * mean;
    }
    level = processPair(level, s1, s2, sum, output);
  }
}

// The same windows as a running integer sum. Term m stands for the samples m and m + 1; pair i
// sums the terms m in [lo, hi) with lo = 2i + 2 + Ln and hi bounded by the window length, by the
// pairs not yet finished (m < i + 2 + P) and by the end of the input (m + 1 < N). Both bounds only
// move forward, so each pair removes the terms that left at the back and adds those that entered
// at the front; the bounds keep every term inside the input, so terms are read directly.
//
// Pairs go through in blocks: first the window levels of the whole block, then pair by pair the
// smoothing, the one step that depends on the pair before, with the gain and the outputs. Every
// value is the same arithmetic on the same operands as pair by pair; the split only lets the
// processor overlap the divisions and square roots of many pairs.
void Compressor::runRunning(AudioSignal& input, OutputSignal& output, std::int64_t pairs) const {
  constexpr std::int64_t blockPairs = 256;
  std::array<double, blockPairs> block{};
  const std::span<const double> x = input.view();
  const auto n = static_cast<std::int64_t>(x.size());
  std::int64_t lo = 2 + static_cast<std::int64_t>(ln);
  std::int64_t hi = lo;
  std::int64_t quadrupleSum = 0;  // below 2^53 wherever this path is taken
  double level = 0.0;
  for (std::int64_t first = 0; first < pairs; first += blockPairs) {
    const auto used = static_cast<std::size_t>(std::min(blockPairs, pairs - first));
    for (std::size_t b = 0; b < used; ++b) {
      const std::int64_t i = first + static_cast<std::int64_t>(b);
      const std::int64_t newLo = 2 * i + 2 + ln;
      for (; lo < std::min(newLo, hi); ++lo) {
        quadrupleSum -= quadrupleTerm(x, lo);
      }
      lo = newLo;
      hi = std::max(hi, lo);
      const std::int64_t front = std::min({lo + wn, i + 2 + pairs, n - 1});
      for (; hi < front; ++hi) {
        quadrupleSum += quadrupleTerm(x, hi);
      }
      block[b] = static_cast<double>(quadrupleSum) * 0.25;
    }
    for (std::size_t b = 0; b < used; ++b) {
      block[b] = detect(block[b]);
    }
    for (std::size_t b = 0; b < used; ++b) {
      level = smooth(level, block[b]);
      const double gain = gainAt(level);
      const double s1 = input.rci();
      const double s2 = input.rci();
      output.append(limit(s1 * gain));
      output.append(limit(s2 * gain));
    }
  }
}

// The running sum needs integer samples, a look-ahead that keeps its reads ahead of the cursor,
// and windows whose every partial sum the direct double sum holds exactly (below 2^53 quarter
// units); other inputs take the direct sum.
bool Compressor::runningSumIsExact(const AudioSignal& input) const {
  if (ln < 0) {
    return false;
  }
  double largest = 0.0;
  for (const double x : input.view()) {
    if (!(x == std::trunc(x) && std::fabs(x) <= largestIntegerSample)) {
      return false;
    }
    largest = std::max(largest, std::fabs(x));
  }
  const double largestTerm = (2.0 * largest) * (2.0 * largest);
  return std::max(wn, 0) * largestTerm < exactQuarterUnits;
}

}  // namespace velmora
