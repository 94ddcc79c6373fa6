#include "dsp/BassBoost.h"

#include <gtest/gtest.h>

#include "audio/ProcessExit.h"
#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

TEST(BassBoost, StepStartsAtSixteenPointSixAndSettlesAtTwoPointSixTimesTheInput) {
  BassBoost filter(70.0, 0.2, 12.0, 0.0);
  EXPECT_DOUBLE_EQ(filter.step(71.0), 16.6);
  double last = 0;
  for (int i = 0; i < 5000; ++i) {
    last = filter.step(20000.0);
  }
  EXPECT_NEAR(last, 52000.0, 1e-6);
}

// The block loop and the definition's loop against the reference, from a state left by an earlier
// file, with blocks of 1, odd and whole sizes; the last odd sample is dropped.
TEST(BassBoost, TheBlockLoopAndTheDefinitionsLoopFilterAlike) {
  for (const std::size_t n : {0, 1, 21, 999, 40001}) {
    const std::vector<double> x = music(n);
    double y = 5.0;
    const std::vector<double> expected = referenceBass(x, y);
    for (const std::size_t blockSize : {1, 7, 16384}) {
      for (const bool direct : {false, true}) {
        const auto in = streamOf(x, blockSize);
        const auto out = emptyStream();
        AudioSignal input("in.wav", {8000, 1, 16, static_cast<std::int32_t>(n)}, *in, true);
        OutputSignal output(input, *out);
        BassBoost filter(70.0, 0.2, 12.0, 5.0);
        direct ? filter.runDirect(input, output) : filter.run(input, output);
        output.finish();
        EXPECT_EQ(samplesIn(*out), expected) << n << " " << blockSize << " " << direct;
        EXPECT_EQ(filter.state(), y);
        const std::size_t kept = std::min<std::size_t>(expected.size(), 198);
        EXPECT_EQ(std::vector<double>(filter.lastOutputs().begin(), filter.lastOutputs().end()),
                  std::vector<double>(expected.end() - static_cast<std::ptrdiff_t>(kept), expected.end()));
      }
    }
  }
}

// A stream that ends before its announced length fails the block loop: the reader stopped, and
// reports why.
TEST(BassBoost, AStreamThatEndsEarlyFails) {
  const auto in = streamOf({1, 2, 3}, 1);
  const auto out = emptyStream();
  AudioSignal input("in.wav", {8000, 1, 16, 6}, *in, true);
  OutputSignal output(input, *out);
  EXPECT_THROW(BassBoost(70.0, 0.2, 12.0, 0.0).run(input, output), Failure);
}

}  // namespace
}  // namespace velmora::test
