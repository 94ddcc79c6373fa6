#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

const std::string startup = "Velmora 1.0.0\nDynamic range compressor and bass boost for PCM WAV files\n";

// What the program prints and returns for one input file: the load's message and -1 (255), or
// the sample count and the summary of an empty save.
RunResult expectedFor(const std::string& message, int samples = 8) {
  if (!message.empty()) {
    return {startup + message + "\n", 255};
  }
  return {startup + " Number of Samples = " + std::to_string(samples) + "\nNo new data to output!\n\nSaved WAV File: out.wav\n",
          0};
}

RunResult loadOf(const TempDir& dir, const Bytes& bytes) {
  writeFile(dir / "in.wav", bytes);
  RunResult result = runProgram(dir.path(), {"in.wav"});
  result.out = result.out.substr(0, result.out.find(" Sample Rate"));
  return result;
}

void expectSame(const RunResult& actual, const RunResult& expected, const std::string& what) {
  EXPECT_EQ(actual.out, expected.out) << what;
  EXPECT_EQ(actual.status, expected.status) << what;
}

TEST(DamagedFile, EveryHeaderFieldAtZeroMaximumMinusOneAndHuge) {
  const TempDir dir;
  const Bytes valid = wavBytes({}, pcm16({1, 2, 3, 4, 5, 6, 7, 8}));
  const Bytes listed = wavBytes({}, pcm16({1, 2, 3, 4, 5, 6, 7, 8}), {{"LIST", {7, 7, 7, 7}}});
  struct Field {
    const Bytes& file;
    std::size_t offset;
    std::size_t width;
    bool isSigned;
    std::array<std::string, 4> messages;  // for zero, maximum, -1, huge
  };
  const std::string riff = "Invalid RIFF Format ";
  const std::string noChunk = "Can't read chunk";
  const std::string noData = "Can't read signal data\n";
  const std::vector<Field> fields = {
      {valid, 0, 4, false, {riff, riff + "\xFF\xFF\xFF\xFF", riff + "\xFF\xFF\xFF\xFF", riff}},
      {valid, 4, 4, false, {"", "", "", ""}},
      {valid, 8, 4, false, {"Invalid WAVE Format", "Invalid WAVE Format", "Invalid WAVE Format", "Invalid WAVE Format"}},
      {valid, 12, 4, false, {"Invalid fmt Format", "Invalid fmt Format", "Invalid fmt Format", "Invalid fmt Format"}},
      {valid, 16, 4, true, {noChunk, noChunk, noChunk, noChunk}},
      {valid, 20, 2, false, {"Invalid wav fmtFormat", "Invalid wav fmtFormat", "Invalid wav fmtFormat", "Invalid wav fmtFormat"}},
      {valid, 22, 2, false, {"", "", "", ""}},
      {valid, 24, 4, true, {"", "", "", ""}},
      {valid, 28, 4, false, {"", "", "", ""}},
      {valid, 32, 2, false, {"", "", "", ""}},
      {valid, 34, 2, true, {"Invalid wav nBitsPerSample", "Invalid wav nBitsPerSample", "Invalid wav nBitsPerSample", "Invalid wav nBitsPerSample"}},
      {valid, 36, 4, false, {noChunk, noChunk, noChunk, noChunk}},
      {valid, 40, 4, true, {"zero", noData, "Exception std::bad_array_new_length", noData}},
      {listed, 36, 4, false, {"", "", "", ""}},
      {listed, 40, 4, true, {noChunk, noChunk, noChunk, noChunk}},
  };
  for (const Field& field : fields) {
    const std::uint64_t top = std::uint64_t{1} << (8 * field.width - 1);
    const std::array<std::uint64_t, 4> values = {0, field.isSigned ? top - 1 : 2 * top - 1, 2 * top - 1, top >> 1};
    for (std::size_t v = 0; v < values.size(); ++v) {
      Bytes bytes = field.file;
      for (std::size_t b = 0; b < field.width; ++b) {
        bytes[field.offset + b] = static_cast<unsigned char>(values[v] >> (8 * b));
      }
      const std::string& message = field.messages[v];
      const RunResult expected = message == "zero" ? expectedFor("", 0) : expectedFor(message);
      expectSame(loadOf(dir, bytes), expected, "offset " + std::to_string(field.offset) + " value " + std::to_string(values[v]));
    }
  }
}

TEST(DamagedFile, EveryTruncationEndsWithTheMessageOfTheMissingPart) {
  const TempDir dir;
  const Bytes valid = wavBytes({}, pcm16({1, 2, 3, 4, 5, 6, 7, 8}));
  for (std::size_t length = 0; length <= valid.size(); ++length) {
    const char* message = length < 36   ? "Can't read WAV Header\n"
                          : length < 44 ? "Can't read chunk"
                          : length < 60 ? "Can't read signal data\n"
                                        : "";
    expectSame(loadOf(dir, Bytes(valid.begin(), valid.begin() + static_cast<long>(length))), expectedFor(message),
               "length " + std::to_string(length));
  }
}

}  // namespace
}  // namespace velmora::test
