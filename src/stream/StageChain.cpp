#include "stream/StageChain.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "system/Process.h"

namespace velmora {

namespace {
// The first blocks pay for what later ones find ready (fresh memory, files opened, caches filled)
// and are not measured; the stages are placed once the next ones have passed: few enough to be a
// small part of any stream worth threads.
constexpr int warmingBlocks = 8;
constexpr int measuredBlocks = 64;
}  // namespace

// Where a stage's blocks go: the next stage's step on the same thread, or the queue to the next
// thread; nowhere after the last stage of the chain. The first stage's hand-over also counts the
// blocks while the chain measures, and has the stages placed after the last measured one.
class StageChain::Handover : public BlockSink {
 public:
  Handover(StageChain& chain, std::size_t next) : chain(chain), next(next) {}
  void put(SampleBlock&& block) override {
    if (queue != nullptr) {
      queue->push(std::move(block));
      return;
    }
    if (next >= chain.links.size()) {
      return;
    }
    if (next == 1 && chain.measuring) {  // the first stage's own time: since its last put
      chain.links[0].measured += Clock::now() - madeFrom;
      chain.links[0].worked += process::threadTime() - workedFrom;
    }
    chain.deliver(next, std::move(block));
    madeFrom = Clock::now();
    workedFrom = process::threadTime();
    if (next == 1 && chain.measuring && ++blocks == warmingBlocks) {
      chain.forget();
    }
    if (next == 1 && chain.measuring && blocks == warmingBlocks + measuredBlocks) {
      chain.place();
    }
  }
  BlockQueue* queue = nullptr;

 private:
  StageChain& chain;
  std::size_t next;
  int blocks = 0;
  Clock::time_point madeFrom = Clock::now();
  std::chrono::nanoseconds workedFrom = process::threadTime();
};

StageChain::StageChain() = default;
StageChain::~StageChain() = default;

std::size_t StageChain::add(Stage& stage) {
  links.push_back({&stage, nullptr, {}, {}});
  return links.size() - 1;
}

void StageChain::run(unsigned usable) {
  processors = usable;
  handovers.clear();
  for (std::size_t stage = 0; stage < links.size(); ++stage) {
    handovers.push_back(std::make_unique<Handover>(*this, stage + 1));
  }
  measuring = links.size() > 1;
  firstRunEnd = links.size();
  runStages(0, links.size(), nullptr);
  for (std::thread& thread : threads) {
    thread.join();
  }
  threads.clear();
  queues.clear();
}

void StageChain::runStages(std::size_t first, std::size_t end, BlockQueue* input) {
  if (input != nullptr) {
    for (SampleBlock block; input->pop(block);) {
      deliver(first, std::move(block));
    }
  }
  for (std::size_t stage = first; stage < (first == 0 ? firstRunEnd : end); ++stage) {
    drain(stage);
  }
  if (BlockQueue* output = handovers[(first == 0 ? firstRunEnd : end) - 1]->queue) {
    output->close();
  }
}

void StageChain::forget() {
  for (Link& link : links) {
    link.measured = {};
    link.worked = {};
  }
}

// A stage's own time is its steps' time less that of the next stage's steps, which it made.
void StageChain::place() {
  measuring = false;
  std::vector<double> costs;
  std::vector<bool> waits;
  for (std::size_t stage = 0; stage < links.size(); ++stage) {
    const bool nests = stage > 0 && stage + 1 < links.size();
    const Clock::duration own = links[stage].measured - (nests ? links[stage + 1].measured : Clock::duration{});
    const std::chrono::nanoseconds worked = links[stage].worked - (nests ? links[stage + 1].worked : std::chrono::nanoseconds{});
    costs.push_back(std::chrono::duration<double>(worked).count());
    waits.push_back(own > 2 * worked);
  }
  std::vector<std::size_t> starts = runs(costs, waits, processors);
  // From the last run back, so that each thread's output queue is in place before it starts.
  for (std::size_t run = starts.size(); run-- > 1;) {
    const std::size_t first = starts[run];
    const std::size_t end = run + 1 < starts.size() ? starts[run + 1] : links.size();
    queues.push_back(std::make_unique<BlockQueue>());
    BlockQueue* input = queues.back().get();
    try {
      threads.emplace_back([this, first, end, input] { runStages(first, end, input); });
      handovers[first - 1]->queue = input;
    } catch (const std::system_error&) {
      queues.pop_back();
      starts.erase(starts.begin() + static_cast<std::ptrdiff_t>(run));  // the run before takes its stages
    }
  }
  firstRunEnd = starts.size() > 1 ? starts[1] : links.size();
}

std::vector<std::size_t> StageChain::balance(const std::vector<double>& costs, std::size_t groups) {
  const std::size_t n = costs.size();
  groups = std::max<std::size_t>(1, std::min(groups, n));
  // longest[g][k]: the shortest longest run that splits the first k stages into g runs.
  constexpr double none = std::numeric_limits<double>::infinity();
  std::vector<std::vector<double>> longest(groups + 1, std::vector<double>(n + 1, none));
  std::vector<std::vector<std::size_t>> cut(groups + 1, std::vector<std::size_t>(n + 1, 0));
  longest[0][0] = 0;
  for (std::size_t g = 1; g <= groups; ++g) {
    for (std::size_t k = g; k <= n; ++k) {
      double run = 0;
      for (std::size_t start = k; start-- > g - 1;) {
        run += costs[start];
        const double candidate = std::max(longest[g - 1][start], run);
        if (candidate < longest[g][k]) {
          longest[g][k] = candidate;
          cut[g][k] = start;
        }
      }
    }
  }
  std::vector<std::size_t> starts(groups);
  for (std::size_t g = groups, k = n; g > 0; k = cut[g][k], --g) {
    starts[g - 1] = cut[g][k];
  }
  return starts;
}

std::vector<std::size_t> StageChain::runs(std::vector<double> costs, const std::vector<bool>& waits, std::size_t processors) {
  for (std::size_t stage = 0; stage < costs.size(); ++stage) {
    if (waits[stage]) {
      costs[stage] = 0;
    }
  }
  return alone(balance(costs, processors), waits);
}

std::vector<std::size_t> StageChain::alone(std::vector<std::size_t> starts, const std::vector<bool>& waits) {
  for (std::size_t stage = 0; stage < waits.size(); ++stage) {
    if (waits[stage]) {
      starts.push_back(stage);
      if (stage + 1 < waits.size()) {
        starts.push_back(stage + 1);
      }
    }
  }
  std::sort(starts.begin(), starts.end());
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
  return starts;
}

void StageChain::deliver(std::size_t stage, SampleBlock&& block) {
  if (links[stage].failure) {
    return;  // a stage that failed takes its input and drops it
  }
  const Clock::time_point start = measuring ? Clock::now() : Clock::time_point{};
  const std::chrono::nanoseconds working = measuring ? process::threadTime() : std::chrono::nanoseconds{};
  try {
    links[stage].stage->step(std::move(block), *handovers[stage]);
  } catch (...) {
    links[stage].failure = std::current_exception();
  }
  if (measuring) {
    links[stage].measured += Clock::now() - start;
    links[stage].worked += process::threadTime() - working;
  }
}

void StageChain::drain(std::size_t stage) {
  if (links[stage].failure) {
    return;
  }
  try {
    links[stage].stage->drain(*handovers[stage]);
  } catch (...) {
    links[stage].failure = std::current_exception();
  }
}

}  // namespace velmora
