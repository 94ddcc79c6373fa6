#include "cli/OptionParser.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

void noUsage(std::string) { ADD_FAILURE() << "usage printed"; }

// Reads standard input from keys while alive.
struct CinFrom {
  explicit CinFrom(std::istringstream& keys) : previous(std::cin.rdbuf(keys.rdbuf())) {}
  ~CinFrom() { std::cin.rdbuf(previous); }
  std::streambuf* previous;
};

// Applies options given as (letter, value) pairs with standard input holding keys, and returns
// what was printed.
std::string apply(OptionParser& parser, Settings& settings,
                  const std::vector<std::pair<char, std::string>>& options, std::istringstream& keys) {
  const CinFrom input(keys);
  const CoutCapture out;
  for (const auto& [letter, value] : options) {
    parser.parse(noUsage, letter, "velmora", value, settings);
  }
  return out.str();
}

TEST(OptionParser, ReportsEachNumberAndReadsOneKeyPerReport) {
  OptionParser parser;
  Settings settings;
  std::istringstream keys("abcdefghi");
  const std::string text = apply(parser, settings,
                                 {{'t', "0.5"}, {'s', "abc"}, {'l', "3"}, {'l', "0.25"}, {'w', " 7x"}, {'a', "1e"},
                                  {'r', "-2"}, {'o', "x.wav"}, {'C', "1"}, {'T', ""}},
                                 keys);
  EXPECT_EQ(text, "threshold=0.5\nslope=4\ntla=3\ntla=1\ntwnd=7\ntatt=1\ntrel=-2\n");
  EXPECT_EQ(keys.get(), 'h');
  EXPECT_EQ(std::make_tuple(settings.threshold, settings.tla, settings.twnd, settings.trel), std::make_tuple(0.5, 1.0, 7.0, -2.0));
  EXPECT_EQ(settings.slope, 6.0);
  EXPECT_EQ(settings.outputName, "x.wav");
  EXPECT_TRUE(settings.compress && settings.truncate && !settings.boostBass);
}

TEST(OptionParser, PresetsApplyInOrderAndAlwaysSwitchCompressionOn) {
  struct Case {
    std::vector<std::pair<char, std::string>> options;
    double slope, twnd, tatt;
  };
  const std::vector<Case> cases = {
      {{{'C', "3"}}, 20, 10, 0.2},          {{{'C', "3"}, {'s', "8"}}, 8, 10, 0.2},
      {{{'s', "8"}, {'C', "3"}}, 20, 10, 0.2}, {{{'C', "4"}}, 4, 1, 1.5},
      {{{'C', "2.7"}}, 10, 10, 0.2},        {{{'C', "0"}}, 4, 10, 0.2},
      {{{'C', "-1"}}, 4, 10, 0.2},          {{{'C', "x"}}, 4, 10, 0.2},
      {{{'C', "99999999999"}}, 4, 10, 0.2},
  };
  for (const Case& c : cases) {
    OptionParser parser;
    Settings settings;
    std::istringstream keys;
    apply(parser, settings, c.options, keys);
    EXPECT_TRUE(settings.compress);
    EXPECT_EQ(std::make_tuple(settings.slope, settings.twnd, settings.tatt), std::make_tuple(c.slope, c.twnd, c.tatt));
    EXPECT_EQ(std::make_tuple(settings.threshold, settings.tla, settings.trel), std::make_tuple(65.0, 1.0, 1.0));
  }
}

}  // namespace
}  // namespace velmora::test
