#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "audio/BlockQueue.h"
#include "audio/Stage.h"
#include "system/ProcessExit.h"

// Runs a list of stages over one stream, each taking the blocks of the one before, and decides
// alone where they run: each on a thread of its own, joined by bounded queues, with the last on
// the calling thread; several on one thread where no more threads can be started; all on the
// calling thread for a stream too short to fill a queue. Within a thread a stage hands its blocks
// straight to the next.
//
// No stage can wait for ever on another: a thread only waits to take a block from the queue before
// it or to hand one to the queue after it, every thread takes its input to the end and closes its
// output, and a stage that fails keeps taking its input, dropped, while the stages after it are
// drained. How each stage ended is kept for the one thread that prints; run returns once every
// thread has ended, so nothing a stage uses is touched after it.

namespace velmora {

class StageChain {
 public:
  StageChain() = default;
  StageChain(const StageChain&) = delete;
  StageChain& operator=(const StageChain&) = delete;
  virtual ~StageChain() = default;

  // Adds stage at the end of the chain; returns its number.
  std::size_t add(Stage& stage);
  // Runs every stage to the end of a stream of about streamSamples samples.
  void run(std::int64_t streamSamples);
  // How a stage ended: its failure, or nothing.
  const std::optional<Failure>& outcome(std::size_t stage) const { return links.at(stage).failure; }

 private:
  struct Link {
    Stage* stage;
    std::optional<Failure> failure;
  };
  class Handover;

  // Runs the stages [first, end): the blocks of input (none for the first stage of the chain)
  // through each step, then each drain, handing the last stage's blocks to output.
  void runStages(std::size_t first, std::size_t end, BlockQueue* input, BlockQueue* output);
  void deliver(std::size_t stage, SampleBlock&& block, Handover& handover);
  void drain(std::size_t stage, Handover& handover);
  void record(std::size_t stage);

  std::vector<Link> links;
};

}  // namespace velmora
