#pragma once

#include <cstdint>

#include "dsp/BassFilter.h"
#include "dsp/BassReport.h"
#include "stream/Stage.h"

// The bass boost as a stage of its own: filters the file's samples where they stand. Its filter
// state comes from the file before and goes back for the file after, once it has succeeded.

namespace velmora {

class BassBoost : public Stage {
 public:
  // Filters the first pairs pairs of samples of its stream (a last odd sample is dropped), starting
  // from the filter state state, which it updates once it has succeeded.
  BassBoost(double& state, std::int64_t pairs);

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}
  void announce(std::ostream& out) const override;
  void conclude(std::ostream& out) override;

 private:
  double& state;
  BassFilter filter;
  std::int64_t remaining;  // samples still to be filtered
  BassReport report;
};

}  // namespace velmora
