#pragma once

#include "stream/Stage.h"
#include "system/ProgressLine.h"

// Counts the samples that pass it into a progress line, and hands every block on as it came.

namespace velmora {

class ProgressStage : public Stage {
 public:
  explicit ProgressStage(ProgressLine& line) : line(line) {}

  void step(SampleBlock&& block, BlockSink& next) override {
    line.advance(static_cast<std::int64_t>(block.samples.size()));
    next.put(std::move(block));
  }
  void drain(BlockSink&) override {}

 private:
  ProgressLine& line;
};

}  // namespace velmora
