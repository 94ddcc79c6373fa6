#include "audio/WavReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

const Bytes fourSamples = pcm16({1, -1, -32768, 32767});

WavContents readBytes(const Bytes& bytes) {
  std::istringstream in(std::string(bytes.begin(), bytes.end()));
  return WavReader(in, static_cast<std::int64_t>(bytes.size())).read();
}

Bytes edited(Bytes bytes, const std::function<void(Bytes&)>& edit) {
  edit(bytes);
  return bytes;
}

std::vector<Chunk> chunks(int count, std::size_t size, bool pad) {
  return std::vector<Chunk>(static_cast<std::size_t>(count), Chunk{"LIST", Bytes(size, 7), pad});
}

struct Case {
  std::string name;
  Bytes bytes;
  std::string message;  // empty: the file loads
  std::int32_t nosamples = 0;
};

TEST(WavReader, AnswersEveryLayoutWithItsMessageOrItsSamples) {
  const Bytes valid = wavBytes({}, fourSamples);
  const auto withField = [&valid](std::size_t at, std::uint32_t value) {
    return edited(valid, [&](Bytes& b) { putLe32(b, at, value); });
  };
  const auto withFmtSize = [](std::int32_t size) {
    return edited(wavBytes({.fmtSize = size}, pcm16({5, 6})),
                  [size](Bytes& b) { putLe32(b, 16, static_cast<std::uint32_t>(size)); });
  };
  const std::vector<Case> cases = {
      {"valid", valid, "", 4},
      {"RIFX", edited(valid, [](Bytes& b) { b[3] = 'X'; }), "Invalid RIFF Format RIFX"},
      {"zero in riff id", edited(valid, [](Bytes& b) { b[2] = 0; }), "Invalid RIFF Format RI"},
      {"not WAVE", edited(valid, [](Bytes& b) { b[8] = 'w'; }), "Invalid WAVE Format"},
      {"fourth fmt byte free", edited(valid, [](Bytes& b) { b[15] = 'X'; }), "", 4},
      {"not fmt", edited(valid, [](Bytes& b) { b[14] = 'T'; }), "Invalid fmt Format"},
      {"float format", wavBytes({.format = 3}, fourSamples), "Invalid wav fmtFormat"},
      {"extensible", wavBytes({.format = 0xFFFE}, fourSamples), "Invalid wav fmtFormat"},
      {"24 bits", wavBytes({.bits = 24}, fourSamples), "Invalid wav nBitsPerSample"},
      {"fmt 18", wavBytes({.fmtSize = 18}, fourSamples), "", 4},
      {"fmt 40", wavBytes({.fmtSize = 40}, fourSamples), "", 4},
      {"fmt 12 reads a chunk inside the header", withFmtSize(12), "Can't read chunk"},
      {"fmt before the start", withFmtSize(-100), "Seek Error!"},
      {"negative data size", withField(40, 0x80000000u), "Exception std::bad_array_new_length"},
      {"data beyond the file", withField(40, 0x7FFFFFFFu), "Can't read signal data\n"},
      {"odd 16-bit data", wavBytes({}, Bytes(9, 1)), "", 4},
      {"empty data", wavBytes({}, {}), "", 0},
      {"nine chunks before data", wavBytes({}, fourSamples, chunks(9, 4, false)), "", 4},
      {"ten chunks before data", wavBytes({}, fourSamples, chunks(10, 4, false)), "too many chunks"},
      {"odd chunks padded", wavBytes({}, fourSamples, chunks(9, 3, true)), "", 4},
      {"odd chunks unpadded", wavBytes({}, fourSamples, chunks(9, 3, false)), "", 4},
      {"one chunk skipped", wavBytes({}, fourSamples, {{"JUNK", pcm16({0}), false}}), "", 4},
  };
  for (const Case& c : cases) {
    const WavContents contents = readBytes(c.bytes);
    EXPECT_EQ(contents.ok, c.message.empty()) << c.name;
    EXPECT_EQ(contents.message, c.message) << c.name;
    EXPECT_EQ(contents.nosamples, c.nosamples) << c.name;
  }
}

TEST(WavReader, SkipsBackwardsAndRejectsAMoveBeforeTheStart) {
  // A chunk of size -60 moves back from offset 52 to offset -8.
  Bytes bytes = wavBytes({}, fourSamples, {{"JUNK", {}, false}});
  putLe32(bytes, 40, static_cast<std::uint32_t>(-60));
  EXPECT_EQ(readBytes(bytes).message, "Seek Error!");
}

TEST(WavReader, DecodesSixteenAndEightBitSamplesUnscaled) {
  const WavContents wide = readBytes(wavBytes({.channels = 6, .rate = 22050}, fourSamples));
  EXPECT_EQ(wide.channels, 6);
  EXPECT_EQ(wide.samplerate, 22050.0);
  EXPECT_EQ(std::vector<double>(wide.samples.get(), wide.samples.get() + 4),
            (std::vector<double>{1, -1, -32768, 32767}));
  const WavContents narrow = readBytes(wavBytes({.channels = 0, .bits = 8}, pcm8({0, 128, 255})));
  EXPECT_EQ(narrow.channels, 0);
  EXPECT_EQ(narrow.bitspersample, 8);
  EXPECT_EQ(std::vector<double>(narrow.samples.get(), narrow.samples.get() + 3),
            (std::vector<double>{0, 128, 255}));
}

TEST(WavReader, ReportsMissingFilesAndFolders) {
  const TempDir dir;
  EXPECT_EQ(readWavFile((dir / "missing.wav").string()).message, "I/O error");
  EXPECT_EQ(readWavFile(dir.path().string()).message, "I/O error");
}

}  // namespace
}  // namespace velmora::test
