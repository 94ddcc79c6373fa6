#include "dsp/AudioProcessor.h"

#include <gtest/gtest.h>

#include "support/Reference.h"
#include "support/TestSupport.h"

namespace velmora::test {
namespace {

std::vector<double> outputOf(AudioProcessor& processor) {
  const double* samples = processor.getOutput().getOutBuff().get();
  return std::vector<double>(samples, samples + processor.getOutput().getCount());
}

class AudioProcessorTest : public ::testing::Test {
 protected:
  // A processor on a mono 16-bit file of samples; its load message is swallowed.
  std::unique_ptr<AudioProcessor> processorOf(const std::vector<int>& samples) {
    const std::string name = (dir / ("in" + std::to_string(files++) + ".wav")).string();
    writeFile(name, wavBytes({.channels = 1, .rate = 8000}, pcm16(samples)));
    const CoutCapture quiet;
    return std::make_unique<AudioProcessor>(name);
  }
  static std::vector<int> ramp(int n) {
    std::vector<int> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      x[static_cast<std::size_t>(i)] = (i * 7919) % 20001 - 10000;
    }
    return x;
  }
  static std::vector<double> asDoubles(const std::vector<int>& x) { return {x.begin(), x.end()}; }
  void SetUp() override { AudioProcessor::setBassState(0.0); }

  TempDir dir;
  int files = 0;
};

TEST_F(AudioProcessorTest, BassStepStartsAtSixteenPointSixAndSettlesAtTwoPointSixTimesTheInput) {
  auto processor = processorOf({0, 0});
  EXPECT_DOUBLE_EQ(processor->bassStep(71.0, 70.0, 0.2, 12.0), 16.6);
  double last = 0;
  for (int i = 0; i < 5000; ++i) {
    last = processor->bassStep(20000.0, 70.0, 0.2, 12.0);
  }
  EXPECT_NEAR(last, 52000.0, 1e-6);
}

TEST_F(AudioProcessorTest, BassBoostCarriesItsStateFromFileToFileAndPrintsTheLastPairs) {
  const std::vector<int> first = ramp(2001);
  const std::vector<int> second = ramp(21);
  double y = 0.0;
  const std::vector<double> expectedFirst = referenceBass(asDoubles(first), y);
  const std::vector<double> expectedSecond = referenceBass(asDoubles(second), y);
  for (const auto& [samples, expected, lines] : {std::tuple{first, expectedFirst, 99}, {second, expectedSecond, 10}}) {
    auto processor = processorOf(samples);
    const CoutCapture out;
    processor->applyBassBoost(70.0, 0.2, 12.0);
    EXPECT_EQ(outputOf(*processor), expected);
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), lines);
    const std::int64_t pairs = static_cast<std::int64_t>(samples.size()) / 2;
    EXPECT_EQ(text.substr(0, text.find(" outa=")), "@i=" + std::to_string(pairs - lines));
    EXPECT_NE(text.find(" n=" + std::to_string(pairs) + "\n"), std::string::npos);
  }
  EXPECT_EQ(AudioProcessor::bassState(), y);
}

TEST_F(AudioProcessorTest, HandOverPassesTheCompressedArrayWithoutCopying) {
  auto processor = processorOf(ramp(1001));
  processor->applyCompressor(65, 4, 1, 10, 0.2, 1, false);
  const std::vector<double> compressed = outputOf(*processor);
  const std::weak_ptr<double[]> array = processor->getOutput().getOutBuff();
  {
    const CoutCapture out;
    processor->useOutputAsInput();
    EXPECT_EQ(out.str(), "new no of samples = 1000\n");
  }
  EXPECT_EQ(processor->getOutput().getCount(), 0);
  EXPECT_EQ(processor->getOutput().getChannels(), 1);
  EXPECT_EQ(processor->getOutput().getSampleRate(), 8000.0);
  EXPECT_FALSE(array.expired());
  ASSERT_EQ(processor->getInput().getNoSamples(), 1000);
  for (const double value : compressed) {
    ASSERT_EQ(processor->getInput().rci(), value);
  }
  processor.reset();
  EXPECT_TRUE(array.expired());
}

}  // namespace
}  // namespace velmora::test
