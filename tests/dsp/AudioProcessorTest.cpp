#include "dsp/AudioProcessor.h"

#include <gtest/gtest.h>

#include <optional>

#include "dsp/BassBoost.h"
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
  // A processor on a mono 16-bit 8 kHz file of samples; its load message is swallowed.
  std::unique_ptr<AudioProcessor> processorOf(const std::vector<double>& samples) {
    const std::string name = (dir / ("in" + std::to_string(files++) + ".wav")).string();
    writeFile(name, wavBytes({.channels = 1, .rate = 8000}, encoded(samples, 16)));
    const CoutCapture quiet;
    return std::make_unique<AudioProcessor>(name);
  }
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
  const std::vector<double> first = music(2001);
  const std::vector<double> second = music(21);
  double y = 0.0;
  const std::vector<double> expectedFirst = referenceBass(first, y);
  const std::vector<double> expectedSecond = referenceBass(second, y);
  for (const auto& [samples, expected, lines] : {std::tuple{first, expectedFirst, 99}, {second, expectedSecond, 10}}) {
    auto processor = processorOf(samples);
    const CoutCapture out;
    processor->applyBassBoost(70.0, 0.2, 12.0);
    EXPECT_EQ(outputOf(*processor), expected);
    const std::string text = out.str();
    EXPECT_EQ(text, bassLines(expected));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), lines);
  }
  EXPECT_EQ(AudioProcessor::bassState(), y);
}

// Each stage writes over its input's array when the input alone holds it, and into an array of
// its own when a copy shares it; the results are the same, and the copy keeps its samples.
TEST_F(AudioProcessorTest, StagesGiveTheSameResultsInPlaceAndBesideACopy) {
  const std::vector<double> x = music(1001);
  double y = 0.0;
  const std::vector<double> compressed = referenceCompressor(x, {}, 8000);
  const std::vector<double> boosted = referenceBass(x, y);
  y = 0.0;
  const std::vector<double> both = referenceBass(compressed, y);
  for (const bool separate : {false, true}) {
    for (const auto& [compress, boost, expected] : {std::tuple{true, false, compressed}, {false, true, boosted}, {true, true, both}}) {
      AudioProcessor::setBassState(0.0);
      auto processor = processorOf(x);
      const std::optional<AudioSignal> copy = separate ? std::optional<AudioSignal>(processor->getInput()) : std::nullopt;
      const double* loaded = processor->getInput().ahead().data();
      const CoutCapture quiet;
      if (compress) {
        processor->applyCompressor(65, 4, 1, 10, 0.2, 1, false);
      }
      if (boost) {
        if (compress) {
          processor->useOutputAsInput();
        }
        processor->applyBassBoost(70.0, 0.2, 12.0);
      }
      EXPECT_EQ(outputOf(*processor), expected) << compress << boost << separate;
      EXPECT_EQ(processor->getOutput().getOutBuff().get() == loaded, !separate) << compress << boost << separate;
      if (copy) {
        EXPECT_TRUE(std::equal(x.begin(), x.end(), copy->ahead().begin(), copy->ahead().end()));
      }
    }
  }
}

TEST_F(AudioProcessorTest, TheArrayLoopAndTheDefinitionsLoopFilterAlike) {
  const std::vector<double> x = music(999);
  for (const bool direct : {false, true}) {
    auto processor = processorOf(x);
    BassBoost filter(70.0, 0.2, 12.0, 5.0);
    direct ? filter.runDirect(processor->getInput(), processor->getOutput())
           : filter.run(processor->getInput(), processor->getOutput());
    double y = 5.0;
    EXPECT_EQ(outputOf(*processor), referenceBass(x, y));
    EXPECT_EQ(filter.state(), y);
    EXPECT_EQ(processor->getInput().rci(), x[998]);  // the cursor stands after the last pair
  }
}

}  // namespace
}  // namespace velmora::test
