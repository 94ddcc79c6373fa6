#include "dsp/Compressor.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "audio/WavReader.h"
#include "dsp/CompressorGain.h"
#include "dsp/CompressorLevels.h"
#include "stream/VectorUnits.h"
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

// The compressor's stages on x in blocks of blockSize, its windows held or (fromFile) read again from a file.
std::vector<double> compressed(const std::vector<double>& x, const Settings& c, double rate,
                               std::size_t blockSize, bool fromFile = false) {
  std::vector<int> values(x.begin(), x.end());
  WavReader file(std::make_shared<MemoryBytes>(wavBytes({}, pcm16(values))));
  file.readHeader();
  const Compressor compressor(c, rate);
  CompressorLevels levels(compressor, {rate, 2, 16, static_cast<std::int32_t>(x.size())}, "in.wav",
                          [&file] { return file.cursor(); }, fromFile ? -1 : heldWindowSamples);
  CompressorGain gain(compressor);
  return throughStages({&levels, &gain}, x, blockSize);
}

std::vector<double> randomSamples(std::size_t n, int low, int high, std::mt19937& random) {
  std::vector<double> x(n);
  for (double& v : x) {
    v = std::uniform_int_distribution<int>(low, high)(random);
  }
  return x;
}

// The stages against the definition: block sizes, windows longer than a block or the file, odd lengths and rates.
TEST(Compressor, TheStagesGiveTheDefinitionBitForBit) {
  const std::vector<std::pair<Settings, double>> params = {
      {{}, 44100}, {{.twnd = 0}, 44100}, {{.tla = 50}, 44100}, {{.tatt = 0, .trel = 0}, 44100},
      {{.threshold = 1500000, .slope = 1}, 44100}, {{.twnd = 1000, .truncate = true}, 44100},
      {{.tla = 1, .twnd = 20}, 1000}, {{.tla = 0, .twnd = 3}, 1000},
      {{.threshold = 10000, .slope = 0.5, .tla = 1.99, .twnd = 10.99, .tatt = 3, .trel = 7}, 8000.7}};
  const std::vector<std::size_t> lengths = {0, 1, 2, 3, 97, 484, 485, 486, 487, 970, 2001};
  const std::vector<std::size_t> blockSizes = {1, 2, 7, 16384, 255};
  std::mt19937 random(12345);
  std::size_t run = 0;
  for (const auto& [settings, rate] : params) {
    for (const std::size_t n : lengths) {
      for (const auto& [low, high] : {std::pair{-32768, 32767}, {0, 255}}) {
        const std::vector<double> x = randomSamples(n, low, high, random);
        const std::size_t blockSize = blockSizes[run++ % blockSizes.size()];
        const auto expected = bitsOf(referenceCompressor(x, settings, rate));
        VectorUnits::allowWide(run % 2 == 0);  // every other case through the direct loops
        for (const bool fromFile : {false, true}) {
          ASSERT_EQ(bitsOf(compressed(x, settings, rate, blockSize, fromFile)), expected)
              << "rate " << rate << " length " << n << " range " << low << ".." << high << " block " << blockSize
              << (fromFile ? " from the file" : "");
        }
        VectorUnits::allowWide(true);
      }
    }
  }
  // Windows of one or two terms whose fullness the input's end bounds, right at the first block's end.
  for (const std::size_t n : {32768, 32769, 32770}) {
    const std::vector<double> x = randomSamples(n, -32768, 32767, random);
    for (const Settings& settings : {Settings{.tla = 0, .twnd = 1}, Settings{.tla = 1, .twnd = 1}, Settings{.tla = 0, .twnd = 2}}) {
      EXPECT_EQ(bitsOf(compressed(x, settings, 1000, 4096)), bitsOf(referenceCompressor(x, settings, 1000)))
          << n << " " << settings.tla << " " << settings.twnd;
    }
  }
  // Held samples dropped as the window slides; silence takes the level to a subnormal fixed point and back.
  std::vector<double> x = randomSamples(40001, -32768, 32767, random);
  x.resize(200001);
  x.insert(x.end(), x.begin(), x.begin() + 20000);
  for (const Settings& settings : {Settings{}, Settings{.tla = 300, .twnd = 200}, Settings{.threshold = 0}}) {
    EXPECT_EQ(bitsOf(compressed(x, settings, 44100, 1000)), bitsOf(referenceCompressor(x, settings, 44100)));
  }
}

// Windows whose exact sums pass 2^53 quarters are summed directly, later ones by the running sum.
TEST(Compressor, WindowsBeyondTwoToTheFiftyThreeQuartersAreSummedDirectly) {
  std::mt19937 random(7);
  const std::size_t checkedPairs = 60;
  const std::size_t fullScale = 2097837;  // 2^53 / (2 * 32763.5)^2 = 2097753 terms, and 80 samples
  std::vector<double> x = randomSamples(fullScale, 32760, 32767, random);
  const std::vector<double> quiet = randomSamples((std::size_t{1} << 22) + (1 << 17) - fullScale, -100, 100, random);
  x.insert(x.end(), quiet.begin(), quiet.end());
  const Settings settings{.tla = 1, .twnd = 1e7};  // at 1000 Hz: Ln = 1, Wn = 10^7
  const std::vector<double> out = compressed(x, settings, 1000, 16384, true);
  const std::vector<double> expected = referenceCompressor(x, settings, 1000, checkedPairs);
  EXPECT_EQ(bitsOf(std::vector<double>(out.begin(), out.begin() + 2 * checkedPairs)), bitsOf(expected));
}

// Fractional samples (24-bit, floating point) over a long stream of loud, faint and silent passages: every window
// equals a fresh sum of its terms within 1e-12, held or read again from the file.
TEST(Compressor, WindowsOfFractionalSamplesDoNotDrift) {
  std::mt19937 random(99);
  std::vector<double> x(2400000);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double level = std::array{30000.0, 0.001, 0.0, 30000.0, 30.0, 1e-7, 20000.0}[i * 7 / x.size()];
    x[i] = std::uniform_real_distribution<double>(-level, level)(random);
  }
  const WavReader file(std::make_shared<MemoryBytes>(wavBytes({.bits = 64, .format = 3}, encoded(x, 64, true))));
  const_cast<WavReader&>(file).readHeader();
  const Settings settings{.tla = 20};  // Ln 882, Wn 441
  const Compressor compressor(settings, 44100);
  for (const bool fromFile : {false, true}) {
    CompressorLevels levels(compressor, file.getFormat(), "in.wav", [&file] { return file.cursor(); }, fromFile ? -1 : heldWindowSamples);
    std::vector<double> sums;
    throughStages({&levels}, x, 16384, &sums);
    ASSERT_EQ(sums.size(), x.size() / 2);
    const auto n = static_cast<std::int64_t>(x.size());
    for (std::int64_t i = 0; i < n / 2; i += 997) {
      double fresh = 0;
      for (std::int64_t k = 882; k < 882 + 441 && k < n / 2 - i && 2 * i + 3 + k < n; ++k) {
        const double mean = 0.5 * x[static_cast<std::size_t>(2 * i + 2 + k)] + 0.5 * x[static_cast<std::size_t>(2 * i + 3 + k)];
        fresh += mean * mean;
      }
      ASSERT_LE(std::abs(sums[static_cast<std::size_t>(i)] - fresh), 1e-12 * fresh) << "pair " << i << (fromFile ? " from the file" : "");
    }
  }
}

TEST(Compressor, AWindowLevelEqualToTheSmoothedLevelCountsAsFalling) {
  const Compressor compressor(Settings{.tatt = 0.2, .trel = 3}, 44100);
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

}  // namespace
}  // namespace velmora::test
