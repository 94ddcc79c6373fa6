#pragma once

#include <cstdint>

#include "dsp/BassFilter.h"
#include "dsp/BassReport.h"
#include "dsp/Compressor.h"
#include "stream/Stage.h"

// The compressor's gain and then the bass boost, as one stage, for a file that asks for both. Its
// two serial chains, the smoothing of the levels and the bass filter, run side by side in one loop,
// where one after the other they would wait twice as long, and the detector, the gain law and the
// clamp fill the time they wait. Its bytes and lines are those of CompressorGain followed by
// BassBoost.

namespace velmora {

class GainAndBassBoost : public Stage {
 public:
  // For a stream of pairs pairs of samples; the filter starts from state, which it updates once it
  // has succeeded.
  GainAndBassBoost(const Compressor& compressor, double& state, std::int64_t pairs);

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}
  // The hand-over of the compressor's output to the bass boost, and the bass boost's own line.
  void announce(std::ostream& out) const override;
  void conclude(std::ostream& out) override;

 private:
  std::size_t sideBySide(const double* sums, double* x, std::size_t from, std::size_t count);
  void quietly(const double* sums, double* x, std::size_t from, std::size_t to);

  Compressor compressor;
  double level = 0.0;
  double& state;
  BassFilter filter;
  std::int64_t pairs;
  BassReport report;
};

}  // namespace velmora
