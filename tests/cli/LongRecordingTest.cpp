#include <gtest/gtest.h>

#include <fstream>

#include "support/Reference.h"
#include "support/TestSupport.h"

// Recordings past 32-bit size arithmetic, hundreds of megabytes on disk and one past 4 GiB: they run under their own label.

namespace velmora::test {
namespace {

constexpr std::int64_t blockSamples = 1 << 20;

// The pseudo-random samples of the block that starts at first, the same for the writer and the checker.
std::vector<double> blockAt(std::int64_t first, std::int64_t samples, int bits) {
  std::vector<double> block;
  for (std::int64_t i = first; i < std::min(samples, first + blockSamples); ++i) {
    const auto mixed = static_cast<std::uint32_t>(i * 2654435761LL) >> 11;
    block.push_back(bits == 8 ? static_cast<int>(mixed & 0xFF) : static_cast<int>(mixed & 0xFFFF) - 32768);
  }
  return block;
}

// The plain header, or past 4 GiB an RF64 one: its sizes in ds64 (the RIFF size: 80 bytes of header less 8, and the data).
Bytes headerFor(const WavLayout& layout, std::int64_t samples) {
  const std::int64_t data = samples * layout.bits / 8;
  if (data + 36 <= 0xFFFFFFFF) {
    Bytes header = wavBytes(layout, {});
    putLe32(header, 4, static_cast<std::uint32_t>(data + 36));
    putLe32(header, 40, static_cast<std::uint32_t>(data));
    return header;
  }
  Bytes sizes;
  for (const std::int64_t value : {72 + data, data, samples / layout.channels}) {
    appendLe(sizes, static_cast<std::uint64_t>(value), 8);
  }
  appendLe(sizes, 0, 4);
  WavLayout large = layout;
  large.riff = "RF64";
  large.first = {{"ds64", sizes}};
  Bytes header = wavBytes(large, {});
  putLe32(header, 4, 0xFFFFFFFF);
  putLe32(header, header.size() - 4, 0xFFFFFFFF);
  return header;
}

void write(std::ofstream& out, const Bytes& bytes) {
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void expectBoostedRecording(const WavLayout& layout, std::int64_t samples) {
  const TempDir dir;
  if (std::filesystem::space(dir.path()).available < static_cast<std::uintmax_t>(3 * samples * layout.bits / 8)) {
    GTEST_SKIP() << "the disk has no room for the recording and its output";
  }
  {
    std::ofstream out(dir / "long.wav", std::ios::binary);
    write(out, headerFor(layout, samples));
    for (std::int64_t first = 0; first < samples; first += blockSamples) {
      write(out, encoded(blockAt(first, samples, layout.bits), layout.bits));
    }
  }
  const RunResult result = runProgram(dir.path(), {"-b", "long.wav"});
  ASSERT_EQ(result.status, 0) << result.out.substr(result.out.size() > 200 ? result.out.size() - 200 : 0);
  EXPECT_NE(result.out.find(" Number of Samples = " + std::to_string(samples) + "\n Bits"), std::string::npos);
  std::filesystem::remove(dir / "long.wav");

  const Bytes expectedHeader = headerFor(layout, samples);
  const std::int64_t width = layout.bits / 8;
  ASSERT_EQ(std::filesystem::file_size(dir / "out.wav"), expectedHeader.size() + static_cast<std::uintmax_t>(samples * width));
  std::ifstream in(dir / "out.wav", std::ios::binary);
  Bytes header(expectedHeader.size());
  in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
  EXPECT_EQ(header, expectedHeader);
  double y = 0.0;
  for (std::int64_t first = 0; first < samples; first += blockSamples) {
    const Bytes expected = encoded(referenceBass(blockAt(first, samples, layout.bits), y), layout.bits);
    Bytes actual(expected.size());
    in.read(reinterpret_cast<char*>(actual.data()), static_cast<std::streamsize>(actual.size()));
    ASSERT_EQ(actual, expected) << "block at sample " << first;
  }
}

TEST(LongRecording, SixteenBitsBeyondTwoToTheTwentySeventhSamples) {
  expectBoostedRecording({.channels = 2, .bits = 16}, (std::int64_t{1} << 27) + 2);
}

TEST(LongRecording, SixteenBitsPastFourGigabytesAsRf64) {
  expectBoostedRecording({.channels = 2, .bits = 16}, (std::int64_t{1} << 31) + 2);
}

TEST(LongRecording, EightBitsBeyondTwoToTheTwentyEighthSamples) {
  expectBoostedRecording({.channels = 1, .bits = 8}, (std::int64_t{1} << 28) + 2);
}

}  // namespace
}  // namespace velmora::test
