#include "dsp/CompressorLevels.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>

#include "stream/VectorUnits.h"
#include "system/Failure.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace velmora {

namespace {

// Whether a sample lies off the 16-bit range's whole numbers (NaN too).
bool isFraction(double x) { return x != std::trunc(x) || x < -32768.0 || x > 32767.0; }

#if defined(__x86_64__) || defined(__i386__)
// From the end, the last few one by one, then four at a time: an index below which the samples'
// search goes on one by one; every sample from it on is a whole number of the 16-bit range.
__attribute__((target("avx2"))) std::size_t wholeBelow(const double* x, std::size_t count) {
  const __m256d low = _mm256_set1_pd(-32768.0);
  const __m256d high = _mm256_set1_pd(32767.0);
  std::size_t k = count;
  for (; k > count - count % 4; --k) {
    if (isFraction(x[k - 1])) {
      return k;
    }
  }
  for (; k > 0; k -= 4) {
    const __m256d v = _mm256_loadu_pd(x + k - 4);
    const __m256d fraction = _mm256_or_pd(_mm256_cmp_pd(v, _mm256_round_pd(v, _MM_FROUND_TO_ZERO), _CMP_NEQ_UQ),
                                          _mm256_or_pd(_mm256_cmp_pd(v, low, _CMP_LT_OQ), _mm256_cmp_pd(v, high, _CMP_GT_OQ)));
    if (_mm256_movemask_pd(fraction) != 0) {
      return k;
    }
  }
  return k;
}
#else
std::size_t wholeBelow(const double*, std::size_t count) { return count; }
#endif

static_assert(heldWindowSamples < (std::int64_t{1} << 21), "held windows must stay exact in doubles");

// Four times the term of the samples m and m + 1, from a cursor.
std::int64_t termAt(SampleCursor& cursor, std::int64_t m) {
  const auto pairSum = static_cast<std::int64_t>(cursor.at(m)) + static_cast<std::int64_t>(cursor.at(m + 1));
  return pairSum * pairSum;
}

}  // namespace

CompressorLevels::CompressorLevels(const Compressor& c, const SignalFormat& format, std::string name,
                                   const Cursors& cursors, std::int64_t heldSamples)
    : compressor(c),
      filename(std::move(name)),
      samples(format.nosamples),
      pairs(format.nosamples / 2),
      ln(c.lookahead()),
      wn(c.window()),
      sum(2 + std::int64_t{c.lookahead()}),
      wholeFormat(format.bitspersample <= 16 && !format.floatingPoint) {
  if (ln + wn > heldSamples) {
    backs = cursors();
    fronts = cursors();
    directs = cursors();
  }
}

void CompressorLevels::step(SampleBlock&& block, BlockSink& next) {
  if (!wholeFormat) {
    noteFractions(block.samples, arrived);
  }
  arrived += static_cast<std::int64_t>(block.samples.size());
  keepPairs(std::move(block));
  handOnReady(next);
}

void CompressorLevels::drain(BlockSink& next) { handOnReady(next); }

void CompressorLevels::announce(std::ostream& out) const { out << "Compressing: " << filename << std::endl; }

void CompressorLevels::keepPairs(SampleBlock&& block) {
  Samples& x = block.samples;
  if (oddSample) {
    x.insert(x.begin(), *oddSample);
    oddSample.reset();
  }
  if (x.size() % 2 == 1) {
    oddSample = x.back();
    x.pop_back();
  }
  if (!x.empty()) {
    waiting.push_back(std::move(block));
  }
}

// Where the stream ends early, the blocks still waiting are dropped: the stages before report why.
void CompressorLevels::handOnReady(BlockSink& next) {
  while (!waiting.empty()) {
    SampleBlock& block = waiting.front();
    const auto count = static_cast<std::int64_t>(block.pairs());
    const std::int64_t needed = neededUntil(nextPair + count - 1);
    if (!fronts && needed > arrived) {
      return;
    }
    if (ln < 0 && wn > 0) {
      failOnNegativeLookahead();
    }
    block.windowSums.resize(static_cast<std::size_t>(count));
    double* sums = block.windowSums.data();
    if (fronts) {
      wholeFormat ? measureFromFile(nextPair, count, sums) : measureFromFileFloating(nextPair, count, sums);
    } else {
      const double* x = extend(block, needed);
      const bool whole = wholeFormat || lastFraction < 2 * nextPair + 2 + ln;
      whole ? measureHeld(nextPair, count, x, sums) : measureHeldFloating(nextPair, count, x, sums);
      block.samples.resize(static_cast<std::size_t>(2 * count));
    }
    next.put(std::move(block));
    waiting.pop_front();
    nextPair += count;
  }
}

std::int64_t CompressorLevels::frontOf(std::int64_t i, std::int64_t back) const {
  return std::min({back + wn, i + 2 + pairs, samples - 1});
}

// The block's windows read the samples after it up to until: they are added to it for the while, so
// that every window it measures lies in one stretch of memory.
const double* CompressorLevels::extend(SampleBlock& block, std::int64_t until) {
  const std::int64_t start = 2 * nextPair;
  auto missing = static_cast<std::size_t>(std::max<std::int64_t>(0, until - start - static_cast<std::int64_t>(block.samples.size())));
  // A few samples are added to the block itself; for a long look-ahead and window, a copy of it
  // takes them, so that no block grows for good (blocks are kept for reuse).
  Samples& x = missing <= extendedInPlace ? block.samples : stitched;
  if (&x == &stitched) {
    stitched.assign(block.samples.begin(), block.samples.end());
  }
  x.reserve(x.size() + missing);
  for (std::size_t k = 1; k < waiting.size() && missing > 0; ++k) {
    const Samples& after = waiting[k].samples;
    const std::size_t taken = std::min(missing, after.size());
    x.insert(x.end(), after.begin(), after.begin() + static_cast<std::ptrdiff_t>(taken));
    missing -= taken;
  }
  if (missing > 0 && oddSample) {
    x.push_back(*oddSample);
  }
  return x.data();
}

// Each term m reads the samples m and m + 1.
std::int64_t CompressorLevels::neededUntil(std::int64_t last) const {
  return std::max(2 * last + 2, frontOf(last, 2 * last + 2 + ln) + 1);
}

// A window that starts behind its pair (a negative look-ahead, from a negative sample rate) asks
// for a sample before the cursor: the first read fails as the definition's look-ahead read does.
void CompressorLevels::failOnNegativeLookahead() const {
  std::ostringstream report;
  report << "future::input file not ready (or not loaded)!!!\n"
         << "error handling " << filename << '\n'
         << "nosamples=" << samples << " curpos=2 offset=" << ln;
  throw Failure{report.str(), exitReadFailure};
}

void CompressorLevels::noteFractions(const Samples& block, std::int64_t at) {
  std::size_t k = block.size();
  if (VectorUnits::wide()) {
    k = wholeBelow(block.data(), block.size());  // every sample from k on is whole
  }
  while (k-- > 0) {
    if (isFraction(block[k])) {
      lastFraction = at + static_cast<std::int64_t>(k);
      return;
    }
  }
}

// Windows of full length that move by one pair are all formed at once after the first pair of the
// block. Every sample they read, from the back of the window before on, lies in x, the block
// extended, from index 2 first on.
void CompressorLevels::measureHeld(std::int64_t first, std::int64_t count, const double* x, double* sums) {
  const std::int64_t last = first + count - 1;
  if (!sumValid) {  // the windows before were fractions: this one is summed from its start
    sum = WindowSum(2 * first + 2 + ln);
    sumValid = true;
  }
  sum.readFrom(x, 2 * first);
  const std::int64_t steadyUntil = std::min(pairs - ln - wn, (samples - 3 - ln - wn) / 2);
  for (std::int64_t b = 0; b < count; ++b) {
    const std::int64_t i = first + b;
    const std::int64_t back = 2 * i + 2 + ln;
    if (b > 0 && wn > 0 && last <= steadyUntil && sum.getFront() == sum.getBack() + wn) {
      sum.slideByPairs(count - b, sums + b);
      break;
    }
    sum.slideTo(back, frontOf(i, back));
    sums[b] = sum.value();
  }
}

// Afresh at the block's first pair, then pair by pair.
void CompressorLevels::measureHeldFloating(std::int64_t first, std::int64_t count, const double* x, double* sums) {
  const auto held = [x, start = 2 * first](std::int64_t m) { return x[m - start]; };
  for (std::int64_t b = 0; b < count; ++b) {
    const std::int64_t i = first + b;
    const std::int64_t back = 2 * i + 2 + ln;
    if (b == 0) {
      floating.restart(held, back, frontOf(i, back));
    } else {
      floating.slideTo(back, frontOf(i, back), held, held);
      if (floating.restartDue(std::int64_t{1} << 62)) {
        floating.restart(held, back, frontOf(i, back));
      }
    }
    sums[b] = floating.value();
  }
  sumValid = false;
}

// Pair by pair, the terms that leave and enter read from the file; afresh every few window lengths.
void CompressorLevels::measureFromFileFloating(std::int64_t first, std::int64_t count, double* sums) {
  const auto leaving = [this](std::int64_t m) { return backs->at(m); };
  const auto entering = [this](std::int64_t m) { return fronts->at(m); };
  const auto fresh = [this](std::int64_t m) { return directs->at(m); };
  const std::int64_t restartAfter = 4 * std::max<std::int64_t>(wn, std::int64_t{1} << 16);
  for (std::int64_t b = 0; b < count; ++b) {
    const std::int64_t i = first + b;
    const std::int64_t back = 2 * i + 2 + ln;
    floating.slideTo(back, frontOf(i, back), leaving, entering);
    if (floating.restartDue(restartAfter)) {
      floating.restart(fresh, back, frontOf(i, back));
    }
    sums[b] = floating.value();
  }
}

// Pair by pair, the terms that leave and enter read from the file; a window beyond 2^53 quarters
// summed directly from it.
void CompressorLevels::measureFromFile(std::int64_t first, std::int64_t count, double* sums) {
  const auto leaving = [this](std::int64_t m) { return termAt(*backs, m); };
  const auto entering = [this](std::int64_t m) { return termAt(*fronts, m); };
  const auto sampleAt = [this](std::int64_t m) { return directs->at(m); };
  for (std::int64_t b = 0; b < count; ++b) {
    const std::int64_t i = first + b;
    const std::int64_t back = 2 * i + 2 + ln;
    sum.slideTo(back, frontOf(i, back), leaving, entering);
    sums[b] = sum.isExact() ? sum.value() : WindowSum::direct(sampleAt, back, sum.getFront());
  }
}

}  // namespace velmora
