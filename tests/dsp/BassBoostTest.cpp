#include "dsp/BassBoost.h"

#include <gtest/gtest.h>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

// The block loop against the definition, from a state left by an earlier file, with blocks of 1,
// odd and whole sizes; the last odd sample is dropped, and the last 99 pairs are kept.
TEST(BassBoost, TheBlockLoopFiltersAsTheDefinition) {
  for (const std::size_t n : {0, 1, 21, 999, 40001}) {
    const std::vector<double> x = music(n);
    double y = 5.0;
    const std::vector<double> expected = referenceBass(x, y);
    for (const std::size_t blockSize : {1, 7, 16384}) {
      BassBoost filter(70.0, 0.2, 12.0, 5.0, static_cast<std::int64_t>(n / 2 * 2));
      EXPECT_EQ(throughStages({&filter}, x, blockSize), expected) << n << " " << blockSize;
      EXPECT_EQ(filter.state(), y);
      const std::size_t kept = std::min<std::size_t>(expected.size(), 198);
      EXPECT_EQ(std::vector<double>(filter.lastOutputs().begin(), filter.lastOutputs().end()),
                std::vector<double>(expected.end() - static_cast<std::ptrdiff_t>(kept), expected.end()));
    }
  }
}

}  // namespace
}  // namespace velmora::test
