#include "dsp/GainAndBassBoost.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {
constexpr std::size_t part = Compressor::quietCheckPairs;  // pairs whose gains are applied at a time
}  // namespace

GainAndBassBoost::GainAndBassBoost(const Compressor& c, double& carried, std::int64_t count)
    : compressor(c), state(carried), filter{carried}, pairs(count), report(count) {}

// Part by part: the levels of the first part; then for each part its gains, and its filter beside
// the levels of the next part.
void GainAndBassBoost::step(SampleBlock&& block, BlockSink& next) {
  const std::size_t count = block.windowSums.size();
  double* levels = block.windowSums.data();
  double* x = block.samples.data();
  compressor.smoothLevels(level, levels, std::min(count, part));
  for (std::size_t from = 0; from < count; from += part) {
    const std::size_t to = std::min(count, from + part);
    compressor.applyGains(levels + from, x + 2 * from, to - from);
    const std::size_t ahead = std::min(count, to + part) - to;
    if (!Compressor::quiet(level) && !filter.quiet()) {
      sideBySide(levels + to, ahead, x, 2 * from, 2 * to);
    } else {  // near silence, each on its own: quiet steps are cheap
      compressor.smoothLevels(level, levels + to, ahead);
      filter.run(x + 2 * from, 2 * (to - from));
    }
  }
  block.samples.resize(2 * count);
  report.keep(x, 2 * count);
  next.put(std::move(block));
}

void GainAndBassBoost::sideBySide(double* levels, std::size_t count, double* x, std::size_t behind, std::size_t ahead) {
  const Compressor c(compressor);  // in registers: the block may alias these objects
  BassFilter f = filter;
  double smoothed = level;
  std::size_t at = behind;
  for (std::size_t b = 0; b < count; ++b, at += 2) {
    // The block was filled on another processor, and a loop that waits on its chains asks for its
    // memory too late on its own: the lines a thousand bytes ahead are asked for now.
    __builtin_prefetch(x + at + 128, 1);
    __builtin_prefetch(levels + b + 128);
    smoothed = c.smooth(smoothed, c.detect(levels[b]));
    levels[b] = smoothed;
    x[at] = f.step(x[at]);
    x[at + 1] = f.step(x[at + 1]);
  }
  for (; at < ahead; ++at) {  // the last part has no part after it
    x[at] = f.step(x[at]);
  }
  level = smoothed;
  filter = f;
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
