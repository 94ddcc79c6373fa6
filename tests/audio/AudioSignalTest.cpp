#include "audio/AudioSignal.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

TEST(AudioSignal, SequentialReadsStopQuietlyAtTheEnd) {
  AudioSignal signal = signalOf({3, 4});
  EXPECT_EQ(signal.future(0), 3);
  EXPECT_EQ(signal.rci(), 3);
  EXPECT_EQ(signal.future(0), 4);
  EXPECT_EQ(signal.rci(), 4);
  EXPECT_EQ(signal.rci(), 0.0);
  EXPECT_EQ(signal.rci(), 0.0);
  signal.setCurPos(1);
  EXPECT_EQ(signal.rci(), 4);
}

TEST(AudioSignal, ReadsThatCannotBeServedEndTheProcessWithStatusOne) {
  const AudioSignal loaded = signalOf({3, 4});
  AudioSignal signal(loaded);  // a copy has no file name
  EXPECT_EQ(endingOf([&] { signal.future(2); }),
            std::make_pair(std::string("future::attempt to read past end of input buffer!\n"), 1));
  EXPECT_EQ(endingOf([&] { signal.future(-1); }).first,
            "future::input file not ready (or not loaded)!!!\nerror handling \n"
            "nosamples=2 curpos=0 offset=-1\n");
  signal.setInBuff(nullptr);
  EXPECT_EQ(endingOf([&] { signal.future(0); }).first,
            "future::input file not ready (or not loaded)!!!\nerror handling \n"
            "inbuff is NULLnosamples=2 curpos=0 offset=0\n");
  EXPECT_EQ(endingOf([&] { signal.rci(); }),
            std::make_pair(std::string("rci::input file not ready (or not loaded)!!!\n"), 1));
  AudioSignal empty = signalOf({});  // as a file with an empty data chunk loads
  EXPECT_EQ(endingOf([&] { empty.rci(); }).second, 1);
  EXPECT_EQ(endingOf([] { AudioSignal missing("no-such-file.wav"); }), std::make_pair(std::string("I/O error\n"), -1));
}

}  // namespace
}  // namespace velmora::test
