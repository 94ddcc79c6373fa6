#include "dsp/StageChain.h"

#include <exception>

namespace velmora {

namespace {

std::optional<Failure> outcomeOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const Failure& failure) {
    return failure;
  } catch (const std::exception& e) {
    return Failure{std::string("Exception ") + e.what(), exitFileFailure};
  }
  return std::nullopt;
}

// Spare blocks outlive the chain of one file, so that a run over many short files reuses the same
// memory instead of having the system clear fresh pages for every file. Never destroyed: a
// chain's threads are stopped before the process ends, but not before its static objects go.
BlockQueue* const spareBlocks = new BlockQueue;

}  // namespace

BlockQueue& StageChain::link() {
  // Every queue draws its spare blocks from the run's, where they are given back.
  queues.push_back(std::make_unique<BlockQueue>(4, spareBlocks));
  return *queues.back();
}

std::size_t StageChain::start(std::function<void()> work, BlockQueue* input, BlockQueue* output) {
  std::packaged_task<std::optional<Failure>()> task([work = std::move(work), input, output] {
    std::optional<Failure> outcome = outcomeOf(work);
    if (output != nullptr) {
      output->close();
    }
    if (input != nullptr) {
      for (SampleBlock block; input->pop(block);) {
      }
    }
    return outcome;
  });
  outcomes.push_back(task.get_future().share());
  if (sideBySide) {
    threads.emplace_back(std::move(task));
  } else {
    task();
  }
  return outcomes.size() - 1;
}

std::optional<Failure> StageChain::wait(std::size_t stage) { return outcomes.at(stage).get(); }

void StageChain::stop() {
  for (const auto& queue : queues) {
    queue->cancel();
  }
  threads.clear();  // joins
}

}  // namespace velmora
