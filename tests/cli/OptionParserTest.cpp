#include "cli/OptionParser.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

using Options = std::vector<std::pair<char, std::string>>;

// Options applied by one parser with keys on standard input: the settings, what it printed, the keys left.
std::tuple<Settings, std::string, std::string> applied(const Options& options, const std::string& keys = "") {
  std::istringstream input(keys);
  std::streambuf* const previous = std::cin.rdbuf(input.rdbuf());
  testing::internal::CaptureStdout();
  OptionParser parser;
  Settings settings;
  for (const auto& [letter, value] : options) {
    parser.parse(letter, value, settings);
  }
  std::cin.rdbuf(previous);
  return {settings, testing::internal::GetCapturedStdout(), std::string(std::istreambuf_iterator<char>(input), {})};
}

TEST(OptionParser, ReportsEachNumberAndReadsOneKeyPerReport) {
  const auto [settings, printed, unread] =
      applied({{'t', "0.5"}, {'s', "abc"}, {'l', "3"}, {'l', "0.25"}, {'w', " 7x"}, {'a', "1e"}, {'r', "-2"},
               {'o', "x.wav"}, {'C', "1"}, {'T', ""}},
              "abcdefghi");
  EXPECT_EQ(printed, "threshold=0.5\nslope=4\ntla=3\ntla=1\ntwnd=7\ntatt=1\ntrel=-2\n");
  EXPECT_EQ(unread, "hi");
  EXPECT_EQ(std::make_tuple(settings.threshold, settings.slope, settings.tla, settings.twnd, settings.trel, settings.outputName),
            std::make_tuple(0.5, 6.0, 1.0, 7.0, -2.0, "x.wav"));
  EXPECT_TRUE(settings.compress && settings.truncate && !settings.boostBass);
}

TEST(OptionParser, PresetsApplyInOrderAndAlwaysSwitchCompressionOn) {
  const std::vector<std::tuple<Options, double, double, double>> cases = {
      {{{'C', "3"}}, 20, 10, 0.2},          {{{'C', "3"}, {'s', "8"}}, 8, 10, 0.2},
      {{{'s', "8"}, {'C', "3"}}, 20, 10, 0.2}, {{{'C', "4"}}, 4, 1, 1.5},
      {{{'C', "2.7"}}, 10, 10, 0.2},        {{{'C', "0"}}, 4, 10, 0.2},
      {{{'C', "x"}}, 4, 10, 0.2},
  };
  for (const auto& [options, slope, twnd, tatt] : cases) {
    const Settings settings = std::get<0>(applied(options));
    EXPECT_TRUE(settings.compress);
    EXPECT_EQ(std::make_tuple(settings.slope, settings.twnd, settings.tatt), std::make_tuple(slope, twnd, tatt));
    EXPECT_EQ(std::make_tuple(settings.threshold, settings.tla, settings.trel), std::make_tuple(65.0, 1.0, 1.0));
  }
}

}  // namespace
}  // namespace velmora::test
