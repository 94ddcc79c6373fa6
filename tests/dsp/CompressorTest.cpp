#include "dsp/Compressor.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "dsp/WindowSum.h"
#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

std::vector<std::uint64_t> bitsOf(const std::vector<double>& values) {
  std::vector<std::uint64_t> bits;
  for (const double v : values) {
    bits.push_back(std::bit_cast<std::uint64_t>(v));
  }
  return bits;
}

// The compressor's output on x, written over x's array, which the input alone holds (a stage beside
// a copy of its input is run through the processor's tests).
std::vector<double> compressed(const std::vector<double>& x, const CompressorSettings& c, double rate,
                               Compressor::WindowMethod method) {
  AudioSignal input = signalOf(x, rate);
  const double* array = input.ahead().data();
  OutputSignal output(input);
  Compressor(c, rate).run(input, output, method);
  const double* samples = output.getOutBuff().get();
  EXPECT_TRUE(x.size() < 2 || samples == array) << "not in place";
  return std::vector<double>(samples, samples + output.getCount());
}

TEST(Compressor, RunningAndDirectWindowsGiveTheDefinitionBitForBit) {
  const std::vector<std::pair<CompressorSettings, double>> params = {
      {{}, 44100}, {{.twnd = 0}, 44100}, {{.tla = 50}, 44100}, {{.tatt = 0, .trel = 0}, 44100},
      {{.threshold = 1500000, .slope = 1}, 44100}, {{.twnd = 1000, .truncate = true}, 44100},
      {{.tla = 1, .twnd = 20}, 1000}, {{.tla = 0, .twnd = 3}, 1000},
      {{.threshold = 10000, .slope = 0.5, .tla = 2, .twnd = 5, .tatt = 3, .trel = 7}, 8000.7}};
  const std::vector<std::size_t> lengths = {0, 1, 2, 3, 97, 484, 485, 486, 487, 970, 2001};
  std::mt19937 random(12345);
  for (const auto& [settings, rate] : params) {
    for (const std::size_t n : lengths) {
      for (const auto& [low, high, fractional] : {std::tuple{-32768, 32767, false}, {0, 255, false}, {-500, 500, true}}) {
        std::vector<double> x(n);
        for (double& v : x) {
          v = std::uniform_int_distribution<int>(low, high)(random) + (fractional ? 0.25 : 0.0);
        }
        const auto expected = bitsOf(referenceCompressor(x, settings, rate));
        using enum Compressor::WindowMethod;
        for (const auto method : fractional ? std::vector{direct, automatic} : std::vector{direct, running, automatic}) {
          ASSERT_EQ(bitsOf(compressed(x, settings, rate, method)), expected)
              << "rate " << rate << " length " << n << " range " << low << ".." << high;
        }
      }
    }
  }
}

TEST(Compressor, AWindowLevelEqualToTheSmoothedLevelCountsAsFalling) {
  const Compressor compressor({.tatt = 0.2, .trel = 3}, 44100);
  const double cr = std::exp(-1 / (0.003 * 44100));
  const double ca = std::exp(-1 / (0.0002 * 44100));
  int distinguishing = 0;
  for (double level = 1.1; level < 30000; level *= 1.37) {
    const double release = cr * level + (1 - cr) * level;
    distinguishing += release != ca * level + (1 - ca) * level;
    EXPECT_EQ(compressor.smooth(level, level), release) << level;
  }
  EXPECT_GT(distinguishing, 0);  // some levels round differently with the two coefficients
}

TEST(Compressor, TheRunningSumIsTakenOnlyWhereEveryPartialSumIsExact) {
  // Terms of at most (2 * 32768)^2 = 2^32 quarters: 2^21 of them reach 2^53.
  EXPECT_TRUE(WindowSum::isExact(32768, (1 << 21) - 1));
  EXPECT_FALSE(WindowSum::isExact(32768, 1 << 21));
  EXPECT_TRUE(WindowSum::isExact(255, 2147483647));
}

TEST(Compressor, DerivesTheWorkedValuesAndTruncatesTimesAndRateToWholeSampleCounts) {
  const Compressor compressor({}, 44100);
  EXPECT_EQ(std::make_pair(compressor.lookahead(), compressor.window()), std::make_pair(44, 441));
  // 8000.7 Hz counts as 8000: 1.99 ms is 15.92 samples, 10.99 ms 87.92, one second 8000.
  const Compressor odd({.tla = 1.99, .twnd = 10.99}, 8000.7);
  EXPECT_EQ(std::make_pair(odd.lookahead(), odd.window()), std::make_pair(15, 87));
  EXPECT_EQ(Compressor({.twnd = 1000}, 8000.7).window(), 8000);
  EXPECT_NEAR(compressor.attackCoefficient(), 0.89281, 5e-6);
  EXPECT_NEAR(compressor.releaseCoefficient(), 0.97758, 5e-6);
  EXPECT_EQ(compressor.gainAt(0.65), 6.0);
  EXPECT_LT(compressor.gainAt(0.66), 2.0);
  EXPECT_GT(compressor.gainAt(0.66), 1.9999);
  EXPECT_NEAR(compressor.gainAt(7500.65), 1.0, 1e-12);
  EXPECT_NEAR(compressor.gainAt(15000.65), 0.0, 1e-12);
  EXPECT_LT(compressor.gainAt(20000), 0.0);
}

}  // namespace
}  // namespace velmora::test
