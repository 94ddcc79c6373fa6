#include "audio/AudioSignal.h"

#include <gtest/gtest.h>

#include "audio/ProcessExit.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

Failure failureOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const Failure& failure) {
    return failure;
  }
  return {"returned", 0};
}

SignalFormat formatOf(std::int32_t samples) { return {44100.0, 2, 16, samples}; }

TEST(AudioSignal, ReadsAcrossBlocksAndStopsQuietlyAtTheEnd) {
  std::vector<double> x(40000);
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = static_cast<double>(i % 1000) - 500.0;
  }
  for (const std::size_t blockSize : {1, 3, 16384}) {
    const auto stream = streamOf(x, blockSize);
    AudioSignal signal("in.wav", formatOf(40000), *stream, true);
    for (std::size_t i = 0; i < x.size(); ++i) {
      // Ahead of the cursor, across the blocks still to come; then the sample itself.
      ASSERT_EQ(signal.future(static_cast<std::int32_t>(std::min<std::size_t>(x.size() - 1 - i, 37))),
                x[std::min<std::size_t>(x.size() - 1, i + 37)]);
      ASSERT_EQ(signal.future(0), x[i]);
      ASSERT_EQ(signal.rci(), x[i]) << blockSize << " " << i;
    }
    EXPECT_EQ(signal.rci(), 0.0);
    EXPECT_EQ(signal.rci(), 0.0);
  }
}

TEST(AudioSignal, ReadsThatCannotBeServedFail) {
  const auto stream = streamOf({3, 4, 5}, 2);
  AudioSignal signal("in.wav", formatOf(3), *stream, true);
  const Failure pastEnd = failureOf([&] { signal.future(3); });
  EXPECT_EQ(pastEnd.message, "future::attempt to read past end of input buffer!");
  EXPECT_EQ(pastEnd.status, 1);
  signal.rci();
  EXPECT_EQ(failureOf([&] { signal.future(-1); }).message,
            "future::input file not ready (or not loaded)!!!\nerror handling in.wav\nnosamples=3 curpos=1 offset=-1");
  const auto none = streamOf({}, 1);
  AudioSignal empty("e.wav", formatOf(0), *none, true);  // as a file with an empty data chunk loads
  EXPECT_EQ(failureOf([&] { empty.rci(); }).message, "rci::input file not ready (or not loaded)!!!");
  EXPECT_EQ(failureOf([&] { empty.rci(); }).status, 1);
  const auto shorter = streamOf({1, 2}, 1);  // the reader stopped early: it reports why
  AudioSignal cut("c.wav", formatOf(5), *shorter, true);
  EXPECT_EQ(failureOf([&] { cut.future(3); }).status, -1);
}

}  // namespace
}  // namespace velmora::test
