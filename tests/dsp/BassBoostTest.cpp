#include "dsp/BassBoost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <sstream>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

// Silence between sounds takes the filter's state to a subnormal fixed point and back, as the definition's.
TEST(BassBoost, SilenceBetweenSoundsGivesTheDefinitionBitForBit) {
  std::vector<double> x = music(3001);
  x.resize(200001);
  x.insert(x.end(), x.begin(), x.begin() + 3001);
  double state = 0.25;
  BassBoost bass(state, static_cast<std::int64_t>(x.size() / 2));
  double y = 0.25;
  const std::vector<double> expected = referenceBass(x, y);
  const std::vector<double> out = throughStages({&bass}, x, 4096);
  std::ostringstream lines;
  bass.conclude(lines);
  EXPECT_EQ(lines.str(), bassLines(expected));
  EXPECT_TRUE(std::equal(out.begin(), out.end(), expected.begin(), expected.end(),
                         [](double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }));
  EXPECT_EQ(std::bit_cast<std::uint64_t>(state), std::bit_cast<std::uint64_t>(y));
  EXPECT_LT(std::abs(expected[200000]), 1e-300);  // the silence was long enough to reach the subnormal numbers
}

}  // namespace
}  // namespace velmora::test
