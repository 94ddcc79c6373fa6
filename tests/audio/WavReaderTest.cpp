#include "audio/WavReader.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/WavBytes.h"
#include "system/Failure.h"

namespace velmora::test {
namespace {

// What the reader makes of a file's bytes: its failure's message, or the samples and the rate.
std::string loaded(const Bytes& bytes) {
  WavReader reader(std::make_shared<MemoryBytes>(bytes));
  try {
    reader.readHeader();
  } catch (const Failure& failure) {
    return failure.message;
  }
  std::ostringstream text;
  text.precision(12);
  text << reader.getFormat().nosamples << " at " << reader.getFormat().samplerate;
  return text.str();
}

TEST(WavReader, EveryHeaderFieldAtZeroMaximumMinusOneAndHuge) {
  const Bytes valid = wavBytes({}, pcm16({1, 2, 3, 4, 5, 6, 7, 8}));
  const Bytes listed = wavBytes({}, pcm16({1, 2, 3, 4, 5, 6, 7, 8}), {{"LIST", {7, 7, 7, 7}}});
  struct Field {
    const Bytes& file;
    std::size_t offset;
    std::size_t width;
    bool isSigned;
    std::array<std::string, 4> loads;  // for zero, maximum, -1, huge
  };
  const std::string riff = "Invalid RIFF Format ";
  const std::string noChunk = "Can't read chunk";
  const std::string noData = "Can't read signal data\n";
  const std::string eight = "8 at 44100";
  const auto all = [](const std::string& text) { return std::array{text, text, text, text}; };
  const std::vector<Field> fields = {
      {valid, 0, 4, false, {riff, riff + "\xFF\xFF\xFF\xFF", riff + "\xFF\xFF\xFF\xFF", riff}},
      {valid, 4, 4, false, all(eight)},
      {valid, 8, 4, false, all("Invalid WAVE Format")},
      {valid, 12, 4, false, all("Invalid fmt Format")},
      {valid, 16, 4, true, all(noChunk)},
      {valid, 20, 2, false, all("Invalid wav fmtFormat")},
      {valid, 22, 2, false, all(eight)},
      {valid, 24, 4, true, {"8 at 0", "8 at 2147483647", "8 at -1", "8 at 1073741824"}},
      {valid, 28, 4, false, all(eight)},
      {valid, 32, 2, false, all(eight)},
      {valid, 34, 2, true, all("Invalid wav nBitsPerSample")},
      {valid, 36, 4, false, all(noChunk)},
      {valid, 40, 4, true, {"0 at 44100", noData, eight, noData}},  // -1: a pipe's unfinished size, read to the end
      {listed, 36, 4, false, all(eight)},
      {listed, 40, 4, true, all(noChunk)},
  };
  for (const Field& field : fields) {
    const std::uint64_t top = std::uint64_t{1} << (8 * field.width - 1);
    const std::array<std::uint64_t, 4> values = {0, field.isSigned ? top - 1 : 2 * top - 1, 2 * top - 1, top >> 1};
    for (std::size_t v = 0; v < values.size(); ++v) {
      Bytes bytes = field.file;
      for (std::size_t b = 0; b < field.width; ++b) {
        bytes[field.offset + b] = static_cast<unsigned char>(values[v] >> (8 * b));
      }
      EXPECT_EQ(loaded(bytes), field.loads[v]) << "offset " << field.offset << " value " << values[v];
    }
  }
}

// Files cut short, layouts other writers make, and chunk walks that end early, go back or stop at their limit.
TEST(WavReader, LayoutsFromOtherWritersLoadOrEndWithTheirMessage) {
  const Bytes eight = pcm16({1, 2, 3, 4, 5, 6, 7, 8});
  const Bytes valid = wavBytes({}, eight);
  const auto edited = [](Bytes bytes, std::size_t at, unsigned char value) {
    bytes[at] = value;
    return bytes;
  };
  const auto sized = [](Bytes bytes, std::size_t at, std::int32_t size) {
    putLe32(bytes, at, static_cast<std::uint32_t>(size));
    return bytes;
  };
  const auto cut = [&valid](std::size_t length) { return Bytes(valid.begin(), valid.begin() + static_cast<long>(length)); };
  const auto withFmtSize = [&](std::int32_t n) { return sized(wavBytes({.fmtSize = n}, pcm16({5, 6})), 16, n); };
  const auto chunks = [](int count, std::size_t size, bool pad) {
    return std::vector<Chunk>(static_cast<std::size_t>(count), Chunk{"LIST", Bytes(size, 7), pad});
  };
  const std::string loads = "8 at 44100";
  const std::string noData = "Can't read signal data\n";
  const auto extensible = [](std::uint16_t subFormat, std::uint16_t valid, std::int16_t bits) {
    return WavLayout{.bits = bits, .fmtSize = 40, .format = 0xFFFE, .subFormat = subFormat, .validBits = valid, .channelMask = 3};
  };
  const auto withDataSize = [&sized](const Bytes& bytes, std::int32_t size) { return sized(bytes, bytes.size() - 16 - 4, size); };
  const auto ds64 = [](std::uint64_t dataSize) {  // the RIFF size, the data size, the frames, no table
    Bytes body;
    for (const std::uint64_t value : {std::uint64_t{0}, dataSize, dataSize / 4}) {
      appendLe(body, value, 8);
    }
    appendLe(body, 0, 4);
    return body;
  };
  const std::vector<std::tuple<std::string, Bytes, std::string>> cases = {
      {"empty", cut(0), "Can't read WAV Header\n"},
      {"cut inside the header", cut(35), "Can't read WAV Header\n"},
      {"cut after the header", cut(36), "Can't read chunk"},
      {"cut inside the chunk header", cut(43), "Can't read chunk"},
      {"cut after the chunk header", cut(44), noData},
      {"cut before the last byte", cut(59), noData},
      {"fourth fmt byte free", edited(valid, 15, 'X'), loads},
      {"16-bit floating point", wavBytes({.format = 3}, eight), "Invalid wav nBitsPerSample"},
      {"mu-law: a format that is no PCM", wavBytes({.bits = 8, .format = 7}, eight), "Invalid wav fmtFormat"},
      {"20 bits", wavBytes({.bits = 20}, eight), "Invalid wav nBitsPerSample"},
      {"24 bits", wavBytes({.bits = 24}, Bytes(15, 1)), "5 at 44100"},
      {"32 bits", wavBytes({.bits = 32}, eight), "4 at 44100"},
      {"floating point, 32 bits", wavBytes({.bits = 32, .fmtSize = 18, .format = 3}, eight), "4 at 44100"},
      {"floating point, 64 bits", wavBytes({.bits = 64, .format = 3}, eight), "2 at 44100"},
      {"extensible, 24 valid bits of 32", wavBytes(extensible(1, 24, 32), eight), "4 at 44100"},
      {"extensible floating point", wavBytes(extensible(3, 64, 64), eight), "2 at 44100"},
      {"extensible ADPCM", wavBytes(extensible(2, 16, 16), eight), "Invalid wav fmtFormat"},
      {"extensible, an unknown kind of sub-format", edited(wavBytes(extensible(1, 16, 16), eight), 50, 0x11), "Invalid wav fmtFormat"},
      {"extensible, more valid bits than stored", wavBytes(extensible(1, 20, 16), eight), "Invalid wav nBitsPerSample"},
      {"extensible without its extension", wavBytes({.fmtSize = 18, .format = 0xFFFE}, eight), "Invalid wav fmtFormat"},
      {"JUNK and an odd bext before fmt", wavBytes({.first = {{"JUNK", Bytes(28, 0)}, {"bext", Bytes(3, 1), true}}}, eight), loads},
      {"extensible after a chunk", wavBytes({.bits = 32, .fmtSize = 40, .format = 0xFFFE, .subFormat = 3, .first = {{"JUNK", Bytes(4, 0)}}}, eight),
       "4 at 44100"},
      {"data before fmt", sized(wavBytes({}, eight), 12, 0x61746164), "Invalid fmt Format"},
      {"a chunk before fmt past the end", sized(wavBytes({.first = {{"JUNK", {}}}}, eight), 16, 1000), "Invalid fmt Format"},
      {"RF64, its size in ds64", withDataSize(wavBytes({.riff = "RF64", .first = {{"ds64", ds64(6)}}}, eight), -1), "3 at 44100"},
      {"BW64 without ds64, unfinished", withDataSize(wavBytes({.riff = "BW64"}, eight), -1), loads},
      {"RF64, ds64 past the end", withDataSize(wavBytes({.riff = "RF64", .first = {{"ds64", ds64(17)}}}, eight), -1), noData},
      {"a pipe's unfinished size", withDataSize(wavBytes({}, eight), 0x7FFFF000), loads},
      {"a pipe's unfinished size, in whole frames of 3 bytes", withDataSize(wavBytes({.channels = 1, .bits = 24}, Bytes(16, 1)), 0x7FFFEFFF),
       "5 at 44100"},
      {"RF64, unfinished in ds64 too", withDataSize(wavBytes({.riff = "RF64", .first = {{"ds64", ds64(0)}}}, eight), -1), loads},
      {"RF64, ds64 all ones", withDataSize(wavBytes({.riff = "RF64", .first = {{"ds64", ds64(~0ULL)}}}, eight), -1), loads},
      {"an odd JUNK before fmt without its pad", wavBytes({.first = {{"JUNK", Bytes(3, 1)}}}, eight), loads},
      {"24-bit frames longer than their samples", edited(wavBytes({.bits = 24}, Bytes(12, 1)), 32, 8), "Invalid wav nBitsPerSample"},
      {"fmt 18", wavBytes({.fmtSize = 18}, eight), loads},
      {"fmt 12 reads a chunk inside the header", withFmtSize(12), "Can't read chunk"},
      {"fmt -20 goes back to the very start", withFmtSize(-20), "Can't read chunk"},
      {"fmt -21 goes back before the start", withFmtSize(-21), "Seek Error!"},
      {"odd 16-bit data", wavBytes({}, Bytes(17, 1)), loads},
      {"nine chunks before data", wavBytes({}, eight, chunks(9, 4, false)), loads},
      {"ten chunks before data", wavBytes({}, eight, chunks(10, 4, false)), "too many chunks"},
      {"odd chunks padded", wavBytes({}, eight, chunks(9, 3, true)), loads},
      {"odd chunks unpadded", wavBytes({}, eight, chunks(9, 3, false)), loads},
      {"chunk before the start", sized(wavBytes({}, eight, chunks(1, 0, false)), 40, -100), "Seek Error!"},
      // -9 moves back to the zero byte at 35, which is no pad: the header read there moves before the start.
      {"odd negative chunk size", sized(wavBytes({}, eight, chunks(1, 0, false)), 40, -9), "Seek Error!"},
  };
  for (const auto& [name, bytes, expected] : cases) {
    EXPECT_EQ(loaded(bytes), expected) << name;
  }
}

// Data of 2 GiB and more: sizes are unsigned, bounded by the file, and past 4 GiB a wrapped size is the file's rest.
TEST(WavReader, DataOfTwoToFourGigabytesLoads) {
  const Bytes header = wavBytes({}, {});
  for (const std::int64_t size : {std::int64_t{0x80000000}, std::int64_t{0xFFFFFFF0}, (std::int64_t{1} << 32) + 16}) {
    Bytes bytes = header;
    putLe32(bytes, 40, static_cast<std::uint32_t>(size));  // past 4 GiB, its 32 bits wrapped
    WavReader reader(std::make_shared<MemoryBytes>(bytes, 44 + size));
    reader.readHeader();
    EXPECT_EQ(reader.getFormat().nosamples, size / 2);
  }
}

}  // namespace
}  // namespace velmora::test
