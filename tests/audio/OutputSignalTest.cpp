#include "audio/OutputSignal.h"
#include "audio/WavHeader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

OutputSignal outputOf(const std::vector<double>& samples, std::int16_t bits, double rate = 44100.0) {
  AudioSignal format = signalOf({}, rate);
  format.setBitsPerSample(bits);
  OutputSignal output(format);
  for (const double x : samples) {
    output.append(x);
  }
  return output;
}

void saved(OutputSignal& output, const fs::path& file) {
  const CoutCapture quiet;
  output.save(file.string());
}

Bytes dataOf(const Bytes& file) { return Bytes(file.begin() + 44, file.end()); }

TEST(OutputSignal, GrowsByDoublingFromTheFirstAppendAndAfterAReserve) {
  EXPECT_EQ(outputOf({}, 16).getCapacity(), 0);
  EXPECT_EQ(outputOf(std::vector<double>(1024), 16).getCapacity(), 1024);
  std::vector<double> ramp(1025);
  std::iota(ramp.begin(), ramp.end(), 1.0);
  const OutputSignal grown = outputOf(ramp, 16);
  EXPECT_EQ(grown.getCapacity(), 2048);
  EXPECT_TRUE(std::equal(ramp.begin(), ramp.end(), grown.getOutBuff().get()));  // kept across the growth
  OutputSignal reserved = outputOf({}, 16);
  reserved.reserve(3);
  for (int i = 0; i < 4; ++i) {
    reserved.append(i);
  }
  EXPECT_EQ(reserved.getCapacity(), 6);
  EXPECT_EQ(reserved.getOutBuff()[3], 3);
}

TEST(OutputSignal, EncodesByClampingAndTruncatingTowardZero) {
  const TempDir dir;
  OutputSignal wide = outputOf({40000, -40000, 1.9, -1.9, NAN, 32767.5, -32768.7, -0.5}, 16, 22050.9);
  saved(wide, dir / "wide.wav");
  const Bytes file = readFile(dir / "wide.wav");
  EXPECT_EQ(dataOf(file), pcm16({32767, -32768, 1, -1, 0, 32767, -32768, 0}));
  const Bytes header = wavBytes({.rate = 22050}, Bytes(16));
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 44), Bytes(header.begin(), header.begin() + 44));

  OutputSignal narrow = outputOf({-5, 300, 127.9, NAN, 255}, 8);
  saved(narrow, dir / "narrow.wav");
  EXPECT_EQ(dataOf(readFile(dir / "narrow.wav")), pcm8({0, 255, 127, 0, 255}));
}

TEST(OutputSignal, HeaderSizesAreComputedInSixtyFourBits) {
  // 1073741823 16-bit samples: 2147483646 data bytes, riffSize 2147483682 (0x80000022).
  const auto header = savedHeaderBytes(44100, 2, 16, 1073741823);
  EXPECT_EQ(Bytes(header.begin() + 4, header.begin() + 8), Bytes({0x22, 0x00, 0x00, 0x80}));
  EXPECT_EQ(Bytes(header.begin() + 40, header.end()), Bytes({0xFE, 0xFF, 0xFF, 0x7F}));
}

TEST(OutputSignal, FailedSavesCreateNothingAndKeepThePreviousFile) {
  const TempDir dir;
  const auto failure = [](OutputSignal& output, const fs::path& file) {
    return endingOf([&] { output.save(file.string()); });
  };
  OutputSignal odd = outputOf({1, 2}, 24);
  EXPECT_EQ(failure(odd, dir / "odd.wav"), std::make_pair(std::string("Invalid bits per sample 24\n"), -1));
  OutputSignal output = outputOf({1, 2}, 16);
  EXPECT_EQ(failure(output, dir / "no" / "such.wav"), std::make_pair(std::string("I/O error\n"), -1));
  fs::create_directory(dir / "folder.wav");
  EXPECT_EQ(failure(output, dir / "folder.wav").first, "I/O error\n");
  EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"folder.wav"});
}

TEST(OutputSignal, ReplacesTheFileALinkPointsToAndKeepsItsPermissions) {
  const TempDir dir;
  writeFile(dir / "real.wav", {1, 2, 3});
  fs::permissions(dir / "real.wav", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink("real.wav", dir / "link.wav");
  OutputSignal output = outputOf({7, 8}, 16);
  saved(output, dir / "link.wav");
  EXPECT_TRUE(fs::is_symlink(dir / "link.wav"));
  EXPECT_EQ(dataOf(readFile(dir / "real.wav")), pcm16({7, 8}));
  EXPECT_EQ(fs::status(dir / "real.wav").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"link.wav", "real.wav"}));
}

}  // namespace
}  // namespace velmora::test
