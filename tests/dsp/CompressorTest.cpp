#include "dsp/Compressor.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

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

std::vector<double> compressed(const std::vector<double>& x, const CompressorSettings& c, double rate,
                               Compressor::WindowMethod method) {
  AudioSignal input = signalOf(x, rate);
  OutputSignal output(input);
  Compressor(c, rate).run(input, output, method);
  const double* samples = output.getOutBuff().get();
  return std::vector<double>(samples, samples + output.getCount());
}

std::vector<double> randomSamples(std::size_t n, int low, int high, bool fractional, std::mt19937& random) {
  std::uniform_int_distribution<int> value(low, high);
  std::vector<double> x(n);
  for (double& v : x) {
    v = value(random) + (fractional ? 0.25 : 0.0);
  }
  return x;
}

TEST(Compressor, RunningAndDirectWindowsGiveTheDefinitionBitForBit) {
  struct Params {
    CompressorSettings settings;
    double rate;
  };
  const std::vector<Params> params = {
      {{}, 44100},
      {{.twnd = 0}, 44100},
      {{.tla = 50}, 44100},
      {{.tatt = 0, .trel = 0}, 44100},
      {{.threshold = 1500000, .slope = 1}, 44100},
      {{.twnd = 1000, .truncate = true}, 44100},
      {{.tla = 1, .twnd = 20}, 1000},
      {{.tla = 0, .twnd = 3}, 1000},
      {{.threshold = 10000, .slope = 0.5, .tla = 2, .twnd = 5, .tatt = 3, .trel = 7}, 8000.7},
  };
  const std::vector<std::size_t> lengths = {0, 1, 2, 3, 97, 484, 485, 486, 487, 970, 2001};
  std::mt19937 random(12345);
  for (const Params& p : params) {
    for (const std::size_t n : lengths) {
      for (const auto& [low, high, fractional] : {std::tuple{-32768, 32767, false}, {0, 255, false}, {-500, 500, true}}) {
        const std::vector<double> x = randomSamples(n, low, high, fractional, random);
        const auto expected = bitsOf(referenceCompressor(x, p.settings, p.rate));
        using enum Compressor::WindowMethod;
        for (const auto method : fractional ? std::vector{direct, automatic} : std::vector{direct, running, automatic}) {
          ASSERT_EQ(bitsOf(compressed(x, p.settings, p.rate, method)), expected)
              << "rate " << p.rate << " length " << n << " range " << low << ".." << high;
        }
      }
    }
  }
}

TEST(Compressor, DerivesTheWorkedValuesAtCdRate) {
  const Compressor compressor({}, 44100);
  EXPECT_EQ(compressor.lookahead(), 44);
  EXPECT_EQ(compressor.window(), 441);
  EXPECT_NEAR(compressor.attackCoefficient(), 0.89281, 5e-6);
  EXPECT_NEAR(compressor.releaseCoefficient(), 0.97758, 5e-6);
  EXPECT_EQ(compressor.gainAt(0.65), 6.0);
  EXPECT_LT(compressor.gainAt(0.66), 2.0);
  EXPECT_GT(compressor.gainAt(0.66), 1.9999);
  EXPECT_NEAR(compressor.gainAt(7500.65), 1.0, 1e-12);
  EXPECT_NEAR(compressor.gainAt(15000.65), 0.0, 1e-12);
  EXPECT_LT(compressor.gainAt(20000), 0.0);
}

TEST(Compressor, ClampsToThirtyThousandOnlyWhenAsked) {
  const Compressor clamping({.truncate = true}, 44100);
  EXPECT_EQ(clamping.limit(40000.0), 30000.0);
  EXPECT_EQ(clamping.limit(-40000.0), -30000.0);
  EXPECT_EQ(clamping.limit(29999.5), 29999.5);
  EXPECT_TRUE(std::isnan(clamping.limit(NAN)));
  EXPECT_EQ(Compressor({}, 44100).limit(40000.0), 40000.0);
}

}  // namespace
}  // namespace velmora::test
