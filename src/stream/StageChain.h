#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "stream/BlockQueue.h"
#include "stream/Stage.h"

// Runs a list of stages over one stream, each taking the blocks of the one before, and decides
// alone where they run, knowing nothing of what they compute, only how long they take. The first
// blocks go through every stage on the calling thread, while the chain measures each stage's
// time at work and its time waiting (on a disk, say). It then splits the list into as many runs
// of consecutive stages as there are processors, so that the longest run by time at work is as
// short as it can be, with each stage that waits more than it works in a run of its own, which
// costs no processor while it waits and so does not count in that split; each run but the first
// gets a thread of its own, joined to the next by a bounded queue; within a thread a stage hands
// its blocks straight to the next. A stream no longer than the measured blocks, or threads that
// cannot be started, leave the stages on fewer threads, down to the calling thread alone.
//
// No stage can wait for ever on another: a thread only waits to take a block from the queue before
// it or to hand one to the queue after it, every thread takes its input to the end and closes its
// output, and a stage that fails keeps taking its input, dropped, while the stages after it are
// drained. What each stage threw is kept for the one thread that prints; run returns once every
// thread has ended, so nothing a stage uses is touched after it.

namespace velmora {

class StageChain {
 public:
  StageChain();
  StageChain(const StageChain&) = delete;
  StageChain& operator=(const StageChain&) = delete;
  virtual ~StageChain();

  // Adds stage at the end of the chain; returns its number.
  std::size_t add(Stage& stage);
  // Runs every stage to the end of its stream, on at most processors threads.
  void run(unsigned processors);
  // How a stage ended: what it threw (a Failure, an Abandonment or a standard exception), or
  // nothing.
  const std::exception_ptr& outcome(std::size_t stage) const { return links.at(stage).failure; }

  // Where runs of consecutive stages should start so that the longest of at most groups runs, by
  // the sum of its stages' costs, is as short as it can be: the first stage of each run.
  static std::vector<std::size_t> balance(const std::vector<double>& costs, std::size_t groups);
  // The runs of a chain on at most processors threads that compute: balanced over the costs of the
  // stages that compute, and each stage that waits in a run of its own. A waiting stage's thread
  // costs no processor while it waits, so its time does not weigh on how the others are split.
  static std::vector<std::size_t> runs(std::vector<double> costs, const std::vector<bool>& waits, std::size_t processors);

 private:
  using Clock = std::chrono::steady_clock;
  struct Link {
    Stage* stage;
    std::exception_ptr failure;
    // While measuring: the time in its steps and the steps they made, and the processor time.
    Clock::duration measured{};
    std::chrono::nanoseconds worked{};
  };
  class Handover;

  void deliver(std::size_t stage, SampleBlock&& block);
  void drain(std::size_t stage);
  // Runs the stages [first, end): the blocks of input (none for the first stage of the chain)
  // through each step, then each drain; closes the queue after the last.
  void runStages(std::size_t first, std::size_t end, BlockQueue* input);
  // Called by the first stage's hand-over once the first blocks have passed, and once the
  // measured ones have.
  void forget();
  void place();
  // The same starts with each stage that waits in a run of its own.
  static std::vector<std::size_t> alone(std::vector<std::size_t> starts, const std::vector<bool>& waits);

  std::vector<Link> links;
  std::vector<std::unique_ptr<Handover>> handovers;  // one per stage, to the next
  std::vector<std::unique_ptr<BlockQueue>> queues;
  std::vector<std::thread> threads;
  unsigned processors = 1;
  bool measuring = false;
  std::size_t firstRunEnd = 0;  // the stages the calling thread runs
};

}  // namespace velmora
