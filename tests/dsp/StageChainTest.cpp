#include "dsp/StageChain.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>

#include "audio/OutputSignal.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

// How a stage ended: its failure's message and status, or "nothing".
std::string outcome(const std::optional<Failure>& failure) {
  return failure ? failure->message + "/" + std::to_string(failure->status) : "nothing";
}

// However a stage ends, its neighbours finish. One that fails takes and drops the rest of its
// input, so the stage before it is not left waiting on a full queue, and closes its output; one
// that throws anything else is reported as an exception. Stopping the chain releases a stage
// waiting to hand on a block nobody takes (it ends with nothing to report) and one waiting for a
// block that never comes.
TEST(StageChain, NoStageWaitsForEverOnANeighbourThatStopped) {
  StageChain chain;
  BlockQueue& first = chain.link();
  BlockQueue& second = chain.link();
  const std::size_t producer = chain.start([&] {
    for (int i = 0; i < 100; ++i) {
      ASSERT_TRUE(first.push(SampleBlock(8, 1.0)));
    }
  }, nullptr, &first);
  const std::size_t failing = chain.start([&] {
    SampleBlock block;
    first.pop(block);
    throw Failure{"failed", 3};
  }, &first, &second);
  const std::size_t consumer = chain.start([&] { SampleBlock b; EXPECT_FALSE(second.pop(b)); }, &second, nullptr);
  const std::size_t throwing = chain.start([] { throw std::bad_alloc(); }, nullptr, nullptr);
  EXPECT_EQ(outcome(chain.wait(producer)), "nothing");
  EXPECT_EQ(outcome(chain.wait(failing)), "failed/3");
  EXPECT_EQ(outcome(chain.wait(consumer)), "nothing");
  EXPECT_EQ(outcome(chain.wait(throwing)), "Exception std::bad_alloc/-1");

  StageChain stopped;
  BlockQueue& full = stopped.link();
  BlockQueue& empty = stopped.link();
  AudioSignal source("in.wav", {44100, 2, 16, 2}, empty, true);
  OutputSignal output(source, full);
  std::atomic<int> handedOn{0};
  const std::size_t pusher = stopped.start([&] {
    for (;; ++handedOn) {
      output.appendBlock(SampleBlock(8, 1.0));
    }
  }, nullptr, nullptr);
  while (handedOn < 4) {  // the queue is full: the next block waits for room that never comes
    std::this_thread::yield();
  }
  const std::size_t popper = stopped.start([&] { SampleBlock b; EXPECT_FALSE(empty.pop(b)); }, nullptr, nullptr);
  stopped.stop();
  EXPECT_EQ(outcome(stopped.wait(pusher)), "/0");
  EXPECT_EQ(outcome(stopped.wait(popper)), "nothing");
}

}  // namespace
}  // namespace velmora::test
