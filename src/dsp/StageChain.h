#pragma once

#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "audio/BlockQueue.h"
#include "audio/ProcessExit.h"

// Runs the stages of one file side by side, each on a thread of its own, joined by bounded queues
// of sample blocks. The chain knows nothing of what a stage computes: it starts it, keeps how it
// ended for the one thread that prints, and makes sure that no stage waits for ever on a
// neighbour that has stopped.

namespace velmora {

class StageChain {
 public:
  StageChain() = default;
  StageChain(const StageChain&) = delete;
  StageChain& operator=(const StageChain&) = delete;
  virtual ~StageChain() { stop(); }

  // Whether stages run on threads of their own (the default), or one after another on the
  // caller's thread at start: for a stream short enough that no queue ever fills, where threads
  // would cost more than they give.
  void runSideBySide(bool onThreads) { sideBySide = onThreads; }
  // A new queue, to join two stages.
  BlockQueue& link();
  // Runs work on a thread of its own and returns its number. However work ends (a Failure it
  // throws is kept), its output is closed and the rest of its input taken and dropped, so that
  // the stages before and after it finish too.
  std::size_t start(std::function<void()> work, BlockQueue* input, BlockQueue* output);
  // Waits for a stage to end: its failure, or nothing (as often as asked).
  std::optional<Failure> wait(std::size_t stage);
  // Releases every stage that waits on a queue, and waits for every thread.
  void stop();

 private:
  std::vector<std::unique_ptr<BlockQueue>> queues;
  std::vector<std::shared_future<std::optional<Failure>>> outcomes;
  std::vector<std::jthread> threads;
  bool sideBySide = true;
};

}  // namespace velmora
