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

}  // namespace

BlockQueue& StageChain::link() {
  // Every queue of the chain draws its spare blocks from the first one's, where they are given back.
  queues.push_back(std::make_unique<BlockQueue>(4, queues.empty() ? nullptr : queues.front().get()));
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
  threads.emplace_back(std::move(task));
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
