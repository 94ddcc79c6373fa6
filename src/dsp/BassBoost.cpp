#include "dsp/BassBoost.h"

#include <algorithm>
#include <utility>

namespace velmora {

BassBoost::BassBoost(double& carried, std::int64_t pairs)
    : state(carried), filter{carried}, remaining(2 * pairs), report(pairs) {}

void BassBoost::step(SampleBlock&& block, BlockSink& next) {
  Samples& x = block.samples;
  x.resize(static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(x.size()))));
  remaining -= static_cast<std::int64_t>(x.size());
  filter.run(x.data(), x.size());
  report.keep(x.data(), x.size());
  next.put(std::move(block));
}

void BassBoost::announce(std::ostream& out) const { out << "Boosting bass" << std::endl; }

void BassBoost::conclude(std::ostream& out) {
  state = filter.y;
  report.print(out);
}

}  // namespace velmora
