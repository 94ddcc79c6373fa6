#pragma once

#include <ostream>

#include "stream/SampleBlock.h"

// The one shape of every stage of a chain: a step over each block of its input, then a drain when
// its input has ended. A stage hands what it makes to the next stage through a sink, a block at a
// time; it knows nothing of where the next stage runs, and the chain knows nothing of what a stage
// computes. A stage reports a failure by throwing it (a Failure, or any standard exception).
//
// Once the chain has run, the thread that prints takes the stages in order: each one's lines that
// come before its outcome (announce), then its failure if it failed, else what it does and prints
// once it has succeeded (conclude).

namespace velmora {

class BlockSink {
 public:
  virtual ~BlockSink() = default;
  virtual void put(SampleBlock&& block) = 0;
};

class Stage {
 public:
  virtual ~Stage() = default;
  // Takes the next block of its input.
  virtual void step(SampleBlock&& block, BlockSink& next) = 0;
  // Its input has ended: hands on what it still holds. The first stage of a chain has no input,
  // and makes its whole stream here.
  virtual void drain(BlockSink& next) = 0;

  virtual void announce(std::ostream&) const {}
  virtual void conclude(std::ostream&) {}
};

}  // namespace velmora
