#include "dsp/CompressorLevels.h"

#include <algorithm>
#include <sstream>
#include <utility>

#include "system/ProcessExit.h"

namespace velmora {

CompressorLevels::CompressorLevels(const Compressor& c, const SignalFormat& format, std::string name, BlockPool& spare)
    : compressor(c),
      filename(std::move(name)),
      pool(spare),
      sum(2 + std::int64_t{c.lookahead()}),
      samples(format.nosamples),
      pairs(format.nosamples / 2),
      ln(c.lookahead()),
      wn(c.window()) {}

void CompressorLevels::step(SampleBlock&& block, BlockSink& next) {
  input.append(std::move(block), pool);
  handOnReady(next, false);
}

void CompressorLevels::drain(BlockSink& next) { handOnReady(next, true); }

void CompressorLevels::handOnReady(BlockSink& next, bool atEnd) {
  while (nextPair < pairs) {
    const std::int64_t count = std::min(static_cast<std::int64_t>(levelPairs), pairs - nextPair);
    if ((!atEnd && count < static_cast<std::int64_t>(levelPairs)) || neededUntil(nextPair + count - 1) > input.end()) {
      return;  // before the end, only full blocks; at an early end, the stages before report why
    }
    SampleBlock block = pool.take();
    block.reserve(3 * levelPairs);
    block.resize(static_cast<std::size_t>(3 * count));
    measure(nextPair, count, block.data());
    next.put(std::move(block));
    nextPair += count;
  }
}

std::int64_t CompressorLevels::frontOf(std::int64_t i, std::int64_t back) const {
  return std::min({back + wn, i + 2 + pairs, samples - 1});
}

// Each term m reads the samples m and m + 1; the pairs read their own two.
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

// Windows of full length that move by one pair are all formed at once after the first pair of the
// block, where every window of that length is exact in doubles. A window whose exact sum reaches
// 2^53 quarters is summed directly instead.
void CompressorLevels::measure(std::int64_t first, std::int64_t count, double* block) {
  if (ln < 0 && wn > 0) {
    failOnNegativeLookahead();
  }
  const std::int64_t last = first + count - 1;
  const std::int64_t from = std::max<std::int64_t>(0, std::min(sum.getBack(), 2 * first));
  sum.readFrom(input.at(from), from);
  std::copy_n(input.at(2 * first), 2 * count, block);
  double* levels = block + 2 * count;
  const std::int64_t steadyUntil = std::min(pairs - ln - wn, (samples - 3 - ln - wn) / 2);
  for (std::int64_t b = 0; b < count; ++b) {
    const std::int64_t i = first + b;
    const std::int64_t back = 2 * i + 2 + ln;
    if (b > 0 && wn > 0 && WindowSum::steadyIsExact(wn) && last <= steadyUntil && sum.getFront() == sum.getBack() + wn) {
      sum.slideByPairs(count - b, levels + b);
      break;
    }
    sum.slideTo(back, frontOf(i, back));
    levels[b] = sum.isExact() ? sum.value() : WindowSum::direct(input.at(back), back, sum.getFront());
  }
  input.release(std::min(sum.getBack(), 2 * (last + 1)));
}

}  // namespace velmora
