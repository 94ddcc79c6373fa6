#include "stream/StageChain.h"

#include "system/Failure.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

namespace velmora::test {
namespace {

// A stage that counts what it takes, hands it on, and throws at its nth block (never when 0).
class Counting : public Stage {
 public:
  Counting(int blocks, int failAt, bool badAlloc) : blocks(blocks), failAt(failAt), badAlloc(badAlloc) {}
  void step(SampleBlock&& block, BlockSink& next) override {
    if (++taken == failAt) {
      badAlloc ? throw std::bad_alloc() : throw Failure{"failed", 3};
    }
    next.put(std::move(block));
  }
  void drain(BlockSink& next) override {
    drained = true;
    for (int i = 0; i < blocks; ++i) {  // the first stage makes its stream here
      next.put({Samples(8192, 1.0), {}, {}});
    }
  }
  int blocks;
  int failAt;
  bool badAlloc;
  int taken = 0;
  bool drained = false;
};

std::string outcome(const std::exception_ptr& thrown) {
  try {
    if (thrown) {
      std::rethrow_exception(thrown);
    }
  } catch (const Failure& failure) {
    return failure.message + "/" + std::to_string(failure.status);
  } catch (const std::exception& e) {
    return std::string("Exception ") + e.what();
  }
  return "nothing";
}

// However a stage ends, the chain runs to its end: a failed stage drops its input, later ones are drained.
TEST(StageChain, NoStageWaitsForEverOnANeighbourThatStopped) {
  struct Case {
    int failAt;
    bool badAlloc;
    std::string middle;
    int reachedLast;
  };
  for (const unsigned processors : {1u, 3u}) {  // the calling thread alone; past the measured blocks, threads
    for (const Case& c : {Case{0, false, "nothing", 100}, Case{1, false, "failed/3", 0},
                          Case{50, true, "Exception std::bad_alloc", 49}}) {
      Counting first(100, 0, false);
      Counting middle(0, c.failAt, c.badAlloc);
      Counting last(0, 0, false);
      StageChain chain;
      for (Stage* stage : std::initializer_list<Stage*>{&first, &middle, &last}) {
        chain.add(*stage);
      }
      chain.run(processors);
      EXPECT_EQ(outcome(chain.outcome(1)), c.middle) << processors;
      EXPECT_EQ(std::make_tuple(outcome(chain.outcome(0)), outcome(chain.outcome(2))), std::make_tuple("nothing", "nothing"));
      EXPECT_EQ(std::make_tuple(middle.taken, last.taken, middle.drained, last.drained),
                std::make_tuple(c.failAt == 0 ? 100 : c.failAt, c.reachedLast, c.failAt == 0, true))
          << c.middle << " " << processors;
    }
  }
}

// The runs of consecutive stages that make the longest run shortest, one per processor at most.
TEST(StageChain, PlacesTheStagesSoThatTheLongestRunIsShortest) {
  const std::vector<std::tuple<std::vector<double>, std::size_t, std::vector<std::size_t>>> cases = {
      {{1, 1, 1, 1}, 2, {0, 2}},
      {{3, 1, 1, 1}, 2, {0, 1}},
      {{1, 1, 1, 3}, 2, {0, 3}},
      {{1, 5, 1}, 3, {0, 1, 2}},
      {{0.3, 0.6, 0.56, 0.2, 1.0, 0.45}, 2, {0, 3}},
      {{0.3, 0.6, 0.56, 0.2, 1.0, 0.45}, 4, {0, 2, 4, 5}},
      {{1, 2}, 5, {0, 1}},
      {{4, 2}, 1, {0}},
  };
  for (const auto& [costs, groups, starts] : cases) {
    EXPECT_EQ(StageChain::balance(costs, groups), starts) << costs.size() << " stages, " << groups << " groups";
  }
  // A stage that waits more than it works runs alone, and its time does not weigh on the others' split.
  const std::vector<std::tuple<std::vector<double>, std::vector<bool>, std::size_t, std::vector<std::size_t>>> waiting = {
      {{3, 9, 1, 1}, {false, true, false, false}, 2, {0, 1, 2}},
      {{1, 1, 3}, {false, false, true}, 1, {0, 2}},
      {{1.1, 5.3, 0.45, 1.25}, {false, false, false, true}, 2, {0, 1, 3}},
  };
  for (const auto& [costs, waits, processors, starts] : waiting) {
    EXPECT_EQ(StageChain::runs(costs, waits, processors), starts) << costs.size() << " stages, " << processors << " processors";
  }
}

}  // namespace
}  // namespace velmora::test
