#include "cli/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

TEST(NumberText, TakesTheLongestNumericBeginning) {
  const std::string digits400(400, '9');
  const std::vector<std::pair<const char*, std::optional<double>>> doubles = {
      {"0.5", 0.5},   {"  \t7", 7},    {"12abc", 12},  {"12e", 12},      {"1.5e+", 1.5},
      {"1.5e+2x", 150}, {"-.25", -0.25}, {"5.", 5},     {"+3E-1", 0.3},   {"0x10", 0},
      {"1e-400", 0},  {"-0.0000001e-400", -0.0}, {"0.001e312", {}},
      {"1000e-310", 1e-307}, {"abc", {}},     {"", {}},       {".", {}},        {"-", {}},
      {"e5", {}},     {"1e999", {}},   {"-1e999", {}}, {"nan", {}},      {"inf", {}},
      {" \n\v\f\r7", 7}, {digits400.c_str(), {}}, {"1e+99999999999999999999", {}}, {"1e-99999999999999999999", 0}};
  for (const auto& [text, expected] : doubles) {
    EXPECT_EQ(leadingDouble(text), expected) << '"' << text << '"';
    EXPECT_EQ(leadingDouble(text).has_value() && std::signbit(*leadingDouble(text)),
              expected.has_value() && std::signbit(*expected)) << '"' << text << '"';
  }
  const std::vector<std::pair<const char*, std::optional<int>>> ints = {
      {"3", 3},          {" 42x", 42},     {"2.7", 2},          {"-1", -1},         {"+4", 4},
      {"2147483647", 2147483647},          {"-2147483648", -2147483648},           {"2147483648", {}},
      {"99999999999", {}}, {"x", {}},      {"-", {}},           {"", {}}};
  for (const auto& [text, expected] : ints) {
    EXPECT_EQ(leadingInt(text), expected) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace velmora
