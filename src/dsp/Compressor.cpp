#include "dsp/Compressor.h"

#include <algorithm>
#include <array>
#include <span>

#include "dsp/WindowSum.h"

namespace velmora {

namespace {

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
  const bool running = method == WindowMethod::running ||
                       (method == WindowMethod::automatic && input.holdsWholeNumbers() && ln >= 0);
  if (running) {
    runRunning(input, output, pairs);
  } else {
    runDirect(input, output, pairs);
  }
}

// The definition: every pair sums its window afresh through the signal's reads. A term adds
// nothing when k reaches the pairs not yet finished, or when its samples would lie at or past
// the end of the input.
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

// The same windows as a running sum over the samples held from the stream. Pair i sums the terms
// m in [back, front) with back = 2i + 2 + Ln and front bounded by the window length, by the pairs
// not yet finished (m < i + 2 + P) and by the end of the input (m + 1 < N); both only move
// forward. A window whose exact sum reaches 2^53 quarters is summed directly instead.
//
// Pairs go through in blocks: first the window levels of the whole block, then pair by pair the
// smoothing, the one step that depends on the pair before, with the gain and the outputs. Every
// value is the same arithmetic on the same operands as pair by pair; the split only lets the
// processor overlap the divisions and square roots of many pairs.
void Compressor::runRunning(AudioSignal& input, OutputSignal& output, std::int64_t pairs) const {
  constexpr std::int64_t blockPairs = 256;
  std::array<double, blockPairs> rms{};
  const std::int64_t n = input.getNoSamples();
  // A local copy, so that the coefficients stay in registers: as far as the compiler knows, the
  // output slots may alias this object.
  const Compressor stage(*this);
  WindowSum sum(2 + std::int64_t{ln});
  const auto frontOf = [&](std::int64_t i, std::int64_t back) {
    return std::min({back + stage.wn, i + 2 + pairs, n - 1});
  };
  double level = 0.0;
  std::span<double> slots;
  std::size_t used = 0;
  std::int64_t unwritten = 2 * pairs;
  const auto put = [&](double v) {
    if (used == slots.size()) {
      slots = output.extend(unwritten);
      used = 0;
    }
    slots[used++] = v;
    --unwritten;
  };
  for (std::int64_t first = 0; first < pairs; first += blockPairs) {
    const std::int64_t count = std::min(blockPairs, pairs - first);
    const std::int64_t last = first + count - 1;
    // Each term m reads the samples m and m + 1; the pairs read their own two.
    input.holdUntil(std::max(2 * last + 2, frontOf(last, 2 * last + 2 + stage.ln) + 1));
    const std::int64_t from = std::min(sum.getBack(), 2 * first);
    sum.readFrom(input.heldAt(from), from);
    for (std::int64_t b = 0; b < count; ++b) {
      const std::int64_t i = first + b;
      const std::int64_t back = 2 * i + 2 + stage.ln;
      sum.slideTo(back, frontOf(i, back));
      rms[static_cast<std::size_t>(b)] = sum.isExact() ? sum.value()
                                                       : WindowSum::direct(input.heldAt(back), back, sum.getFront());
    }
    for (std::int64_t b = 0; b < count; ++b) {
      rms[static_cast<std::size_t>(b)] = stage.detect(rms[static_cast<std::size_t>(b)]);
    }
    for (std::int64_t i = first; i <= last; ++i) {
      const double* pair = input.heldAt(2 * i);
      level = stage.finishPair(level, rms[static_cast<std::size_t>(i - first)], pair[0], pair[1], put);
    }
    input.release(std::min(sum.getBack(), 2 * (last + 1)));
  }
  input.advance(2 * pairs);
}

}  // namespace velmora
