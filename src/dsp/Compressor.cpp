#include "dsp/Compressor.h"

#include <algorithm>
#include <array>
#include <span>


namespace velmora {

namespace {

// Pairs per measured block: with their levels, three doubles each.
constexpr std::int64_t measuredPairs = 1 << 14;

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
  if (method == WindowMethod::direct) {
    runDirect(input, output, pairs);
    return;
  }
  BlockQueue measured(static_cast<std::size_t>(pairs / measuredPairs + 2));
  measure(input, measured, method);
  measured.close();
  applyGain(measured, output);
}

// The definition: every pair sums its window afresh through the signal's reads, then smooths,
// applies the gain and appends.
void Compressor::runDirect(AudioSignal& input, OutputSignal& output, std::int64_t pairs) const {
  double level = 0.0;
  for (std::int64_t i = 0; i < pairs; ++i) {
    const double s1 = input.rci();
    const double s2 = input.rci();
    level = finishPair(level, detect(directSum(input, i, pairs)), s1, s2, [&output](double v) { output.append(v); });
  }
}

// Pair i's window sum through future, with the cursor after the pair. A term adds nothing when k
// reaches the pairs not yet finished, or when its samples would lie at or past the end of the input.
double Compressor::directSum(AudioSignal& input, std::int64_t i, std::int64_t pairs) const {
  const std::int64_t n = input.getNoSamples();
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
  return sum;
}

void Compressor::measure(AudioSignal& input, BlockQueue& measured, WindowMethod method) const {
  const std::int64_t pairs = input.getNoSamples() / 2;
  const bool running = method == WindowMethod::running ||
                       (method == WindowMethod::automatic && input.holdsWholeNumbers() && ln >= 0);
  WindowSum sum(2 + std::int64_t{ln});
  for (std::int64_t first = 0; first < pairs; first += measuredPairs) {
    const std::int64_t count = std::min(measuredPairs, pairs - first);
    SampleBlock block = measured.spare();
    block.reserve(static_cast<std::size_t>(3 * measuredPairs));
    block.resize(static_cast<std::size_t>(3 * count));
    if (running) {
      measureRunning(input, sum, first, count, block.data());
    } else {
      measureDirect(input, first, count, block.data());
    }
    if (!measured.push(std::move(block))) {
      return;  // the run is being abandoned
    }
  }
}

void Compressor::measureDirect(AudioSignal& input, std::int64_t first, std::int64_t count, double* block) const {
  const std::int64_t pairs = input.getNoSamples() / 2;
  for (std::int64_t b = 0; b < count; ++b) {
    block[2 * b] = input.rci();
    block[2 * b + 1] = input.rci();
    block[2 * count + b] = detect(directSum(input, first + b, pairs));
  }
}

// The same windows as a running sum over the samples held from the stream. Pair i sums the terms
// m in [back, front) with back = 2i + 2 + Ln and front bounded by the window length, by the pairs
// not yet finished (m < i + 2 + P) and by the end of the input (m + 1 < N); both only move
// forward. A window whose exact sum reaches 2^53 quarters is summed directly instead.
void Compressor::measureRunning(AudioSignal& input, WindowSum& sum, std::int64_t first, std::int64_t count,
                                double* block) const {
  const std::int64_t pairs = input.getNoSamples() / 2;
  const std::int64_t n = input.getNoSamples();
  // A local copy, so that the coefficients stay in registers: as far as the compiler knows, the
  // block may alias this object.
  const Compressor stage(*this);
  const auto frontOf = [&](std::int64_t i, std::int64_t back) {
    return std::min({back + stage.wn, i + 2 + pairs, n - 1});
  };
  const std::int64_t last = first + count - 1;
  // Each term m reads the samples m and m + 1; the pairs read their own two.
  input.holdUntil(std::max(2 * last + 2, frontOf(last, 2 * last + 2 + stage.ln) + 1));
  const std::int64_t from = std::min(sum.getBack(), 2 * first);
  sum.readFrom(input.heldAt(from), from);
  std::copy_n(input.heldAt(2 * first), 2 * count, block);
  double* levels = block + 2 * count;
  // Windows of full length that move by one pair: after the first pair of the block, all of them
  // at once, where every window of that length is exact in doubles.
  const std::int64_t steadyUntil = std::min(pairs - stage.ln - stage.wn, (n - 3 - stage.ln - stage.wn) / 2);
  std::int64_t b = 0;
  for (; b < count; ++b) {
    const std::int64_t i = first + b;
    const std::int64_t back = 2 * i + 2 + stage.ln;
    if (b > 0 && stage.wn > 0 && WindowSum::steadyIsExact(stage.wn) && last <= steadyUntil &&
        sum.getFront() == sum.getBack() + stage.wn) {
      sum.slideByPairs(count - b, levels + b);
      break;
    }
    sum.slideTo(back, frontOf(i, back));
    levels[b] = sum.isExact() ? sum.value() : WindowSum::direct(input.heldAt(back), back, sum.getFront());
  }
  for (std::int64_t b = 0; b < count; ++b) {
    levels[b] = stage.detect(levels[b]);
  }
  input.release(std::min(sum.getBack(), 2 * (last + 1)));
  input.advance(2 * count);
}

void Compressor::applyGain(BlockQueue& measured, OutputSignal& output,
                           const std::function<void(SampleBlock&)>& then) const {
  const Compressor stage(*this);
  double level = 0.0;
  for (SampleBlock block; measured.pop(block);) {
    const std::size_t count = block.size() / 3;
    double* x = block.data();
    double* levels = x + 2 * count;
    double* out = x;
    for (std::size_t b = 0; b < count; ++b) {
      level = stage.finishPair(level, levels[b], x[2 * b], x[2 * b + 1], [&out](double v) { *out++ = v; });
    }
    block.resize(2 * count);
    if (then) {
      then(block);
    }
    output.appendBlock(std::move(block));
  }
}

}  // namespace velmora
