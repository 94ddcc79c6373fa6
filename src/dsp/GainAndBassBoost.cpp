#include "dsp/GainAndBassBoost.h"

#include <algorithm>
#include <utility>

namespace velmora {

GainAndBassBoost::GainAndBassBoost(const Compressor& c, double& carried, std::int64_t count)
    : compressor(c), state(carried), filter{carried}, pairs(count), report(count) {}

// Part by part, each step of both chains side by side: near silence, where a chain's state sinks
// among the subnormal numbers, with quiet steps.
void GainAndBassBoost::step(SampleBlock&& block, BlockSink& next) {
  const std::size_t count = block.windowSums.size();
  double* sums = block.windowSums.data();
  double* x = block.samples.data();
  for (std::size_t from = 0; from < count;) {
    if (Compressor::quiet(level) || filter.quiet()) {
      const std::size_t to = std::min(count, from + Compressor::quietCheckPairs);
      quietly(sums, x, from, to);
      from = to;
    } else {
      from = sideBySide(sums, x, from, count);
    }
  }
  block.samples.resize(2 * count);
  report.keep(x, 2 * count);
  block.windowSums = Samples();  // no stage after it reads them
  next.put(std::move(block));
}

// The pairs from from on of a block of count pairs, up to the end or to the first part whose
// chains have become quiet: for each, the detector and the smoothing, the gain law, the clamp and
// the filter over its two samples. The loop waits on its two chains, and the filter's is the
// longer: the smoothing and the gain law run lead pairs ahead of the filter, a ring holding their
// gains and levels between, so that each pair's gain is ready before the filter reaches it instead
// of adding its own wait to the filter's. The rest fills that time.
std::size_t GainAndBassBoost::sideBySide(const double* sums, double* x, std::size_t from, std::size_t count) {
  const Compressor c(compressor);  // in registers: the block may alias these objects
  BassFilter f = filter;
  constexpr std::size_t lead = 8;
  constexpr std::size_t ring = 2 * lead;  // a level stays in it until the part after it has been asked about
  double levels[ring];
  double gains[ring];
  double smoothed = level;
  const auto gainFor = [&](std::size_t p) {
    smoothed = c.smooth(smoothed, c.detect(sums[p]));
    levels[p % ring] = smoothed;
    gains[p % ring] = c.gainAt(smoothed);
  };
  const std::size_t last = count - 1;
  const auto filterPair = [&](std::size_t p) {
    // The block was filled on another processor, and a loop that waits on its chains asks for its
    // memory too late on its own: the lines a thousand bytes ahead, of this block alone (another
    // block's would be taken from the thread that works on it), are asked for now.
    __builtin_prefetch(x + 2 * std::min(p + 64, last), 1);
    __builtin_prefetch(sums + std::min(p + 128, last));
    const double gain = gains[p % ring];
    x[2 * p] = f.step(c.limit(x[2 * p] * gain));
    x[2 * p + 1] = f.step(c.limit(x[2 * p + 1] * gain));
  };
  for (std::size_t p = from; p < std::min(count, from + lead); ++p) {
    gainFor(p);
  }
  const std::size_t ahead = count > lead ? count - lead : 0;
  std::size_t b = from;
  do {
    const std::size_t partEnd = std::min(count, b + Compressor::quietCheckPairs);
    for (const std::size_t both = std::min(partEnd, ahead); b < both; ++b) {
      filterPair(b);
      gainFor(b + lead);
    }
    for (; b < partEnd; ++b) {
      filterPair(b);
    }
  } while (b < count && !Compressor::quiet(levels[(b - 1) % ring]) && !f.quiet());
  level = levels[(b - 1) % ring];
  filter = f;
  return b;
}

// The same with quiet steps: the gain worked out again only where the level moved.
void GainAndBassBoost::quietly(const double* sums, double* x, std::size_t from, std::size_t to) {
  const Compressor& c = compressor;
  bool still = false;
  filter.settled = false;
  double gain = c.gainAt(level);
  for (std::size_t b = from; b < to; ++b) {
    if (!c.quietSmooth(level, sums[b], still)) {
      gain = c.gainAt(level);
    }
    x[2 * b] = filter.quietStep(c.limit(x[2 * b] * gain));
    x[2 * b + 1] = filter.quietStep(c.limit(x[2 * b + 1] * gain));
  }
}

void GainAndBassBoost::announce(std::ostream& out) const {
  out << "new no of samples = " << 2 * pairs << std::endl;
  out << "Boosting bass" << std::endl;
}

void GainAndBassBoost::conclude(std::ostream& out) {
  state = filter.y;
  report.print(out);
}

}  // namespace velmora
