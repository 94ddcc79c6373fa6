#include "dsp/StageChain.h"

#include <exception>
#include <string>
#include <system_error>
#include <thread>

namespace velmora {

// Where a stage's blocks go: the next stage's step on the same thread, or the queue to the next
// thread; nowhere after the last stage of the chain.
class StageChain::Handover : public BlockSink {
 public:
  Handover(StageChain& chain, std::size_t next, Handover* after, BlockQueue* queue)
      : chain(chain), next(next), after(after), queue(queue) {}
  void put(SampleBlock&& block) override {
    if (queue != nullptr) {
      queue->push(std::move(block));
    } else if (after != nullptr) {
      chain.deliver(next, std::move(block), *after);
    }
  }

 private:
  StageChain& chain;
  std::size_t next;
  Handover* after;
  BlockQueue* queue;
};

std::size_t StageChain::add(Stage& stage) {
  links.push_back({&stage, std::nullopt});
  return links.size() - 1;
}

// Each stage on a thread of its own but the last, which runs on the calling thread; a thread
// that cannot be started leaves its stages to the next thread.
void StageChain::run(std::int64_t streamSamples) {
  std::vector<std::unique_ptr<BlockQueue>> queues;
  std::vector<std::thread> threads;
  BlockQueue* input = nullptr;
  std::size_t first = 0;
  for (std::size_t end = 1; end < links.size() && streamSamples > shortStream; ++end) {
    queues.push_back(std::make_unique<BlockQueue>());
    BlockQueue* output = queues.back().get();
    try {
      threads.emplace_back([this, first, end, input, output] { runStages(first, end, input, output); });
      input = output;
      first = end;
    } catch (const std::system_error&) {
      queues.pop_back();
    }
  }
  runStages(first, links.size(), input, nullptr);
  for (std::thread& thread : threads) {
    thread.join();
  }
}

void StageChain::runStages(std::size_t first, std::size_t end, BlockQueue* input, BlockQueue* output) {
  // Built from the last stage back, so that each hands over to the one after it.
  std::vector<std::unique_ptr<Handover>> handovers(end - first);
  for (std::size_t stage = end; stage-- > first;) {
    const bool last = stage + 1 == end;
    handovers[stage - first] = std::make_unique<Handover>(*this, stage + 1, last ? nullptr : handovers[stage + 1 - first].get(),
                                                          last ? output : nullptr);
  }
  if (input != nullptr) {
    for (SampleBlock block; input->pop(block);) {
      deliver(first, std::move(block), *handovers.front());
    }
  }
  for (std::size_t stage = first; stage < end; ++stage) {
    drain(stage, *handovers[stage - first]);
  }
  if (output != nullptr) {
    output->close();
  }
}

void StageChain::deliver(std::size_t stage, SampleBlock&& block, Handover& handover) {
  if (links[stage].failure) {
    return;  // a stage that failed takes its input and drops it
  }
  try {
    links[stage].stage->step(std::move(block), handover);
  } catch (...) {
    record(stage);
  }
}

void StageChain::drain(std::size_t stage, Handover& handover) {
  if (links[stage].failure) {
    return;
  }
  try {
    links[stage].stage->drain(handover);
  } catch (...) {
    record(stage);
  }
}

// Called while a stage's exception is being handled: keeps it as the stage's failure.
void StageChain::record(std::size_t stage) {
  try {
    throw;
  } catch (const Failure& failure) {
    links[stage].failure = failure;
  } catch (const std::exception& e) {
    links[stage].failure = Failure{std::string("Exception ") + e.what(), exitFileFailure};
  }
}

}  // namespace velmora
