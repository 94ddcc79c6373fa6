#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support/TestSupport.h"

namespace velmora::test {
namespace {

// What the program prints and returns for one input file: the load's message and -1 (255), or
// the sample count and the start of an empty save's summary, with the rate as it prints.
RunResult expectedFor(const std::string& message, int samples = 8, double rate = 44100) {
  if (!message.empty()) {
    return {startup + message + "\n", 255};
  }
  std::ostringstream text;
  text << startup << " Number of Samples = " << samples << "\nNo new data to output!\n\nSaved WAV File: out.wav\n"
       << " Sample Rate = (Hz) " << rate << "\n Number of Samples = 0\n";
  return {text.str(), 0};
}

// Runs the program on bytes as its one input and compares what it prints (up to the bits per
// sample: the header's other fields may be odd) and its status.
void expectLoad(const TempDir& dir, const Bytes& bytes, const RunResult& expected, const std::string& what) {
  writeFile(dir / "in.wav", bytes);
  const RunResult result = runProgram(dir.path(), {"in.wav"});
  EXPECT_EQ(result.out.substr(0, result.out.find(" Bits Per Sample")), expected.out) << what;
  EXPECT_EQ(result.status, expected.status) << what;
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
  const auto all = [](const std::string& message) { return std::array{message, message, message, message}; };
  const std::vector<Field> fields = {
      {valid, 0, 4, false, {riff, riff + "\xFF\xFF\xFF\xFF", riff + "\xFF\xFF\xFF\xFF", riff}},
      {valid, 4, 4, false, all("")},
      {valid, 8, 4, false, all("Invalid WAVE Format")},
      {valid, 12, 4, false, all("Invalid fmt Format")},
      {valid, 16, 4, true, all(noChunk)},
      {valid, 20, 2, false, all("Invalid wav fmtFormat")},
      {valid, 22, 2, false, all("")},
      {valid, 24, 4, true, all("rate")},
      {valid, 28, 4, false, all("")},
      {valid, 32, 2, false, all("")},
      {valid, 34, 2, true, all("Invalid wav nBitsPerSample")},
      {valid, 36, 4, false, all(noChunk)},
      {valid, 40, 4, true, {"zero", noData, "Exception std::bad_array_new_length", noData}},
      {listed, 36, 4, false, all("")},
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
      const std::string& message = field.messages[v];
      const auto rate = static_cast<double>(static_cast<std::int32_t>(values[v]));
      const RunResult expected = message == "zero"   ? expectedFor("", 0)
                                 : message == "rate" ? expectedFor("", 8, rate)
                                                     : expectedFor(message);
      expectLoad(dir, bytes, expected, "offset " + std::to_string(field.offset) + " value " + std::to_string(values[v]));
    }
  }
}

TEST(DamagedFile, LayoutsFromOtherWritersLoadOrEndWithTheirMessage) {
  const TempDir dir;
  const Bytes eight = pcm16({1, 2, 3, 4, 5, 6, 7, 8});
  const auto edited = [](Bytes bytes, std::size_t at, unsigned char value) {
    bytes[at] = value;
    return bytes;
  };
  const auto sized = [](Bytes bytes, std::size_t at, std::int32_t size) {
    putLe32(bytes, at, static_cast<std::uint32_t>(size));
    return bytes;
  };
  const auto withFmtSize = [&](std::int32_t n) { return sized(wavBytes({.fmtSize = n}, pcm16({5, 6})), 16, n); };
  const auto chunks = [](int count, std::size_t size, bool pad) {
    return std::vector<Chunk>(static_cast<std::size_t>(count), Chunk{"LIST", Bytes(size, 7), pad});
  };
  const std::vector<std::tuple<std::string, Bytes, std::string, int>> cases = {
      {"RIFX", edited(wavBytes({}, eight), 3, 'X'), "Invalid RIFF Format RIFX", 0},
      {"WAVX", edited(wavBytes({}, eight), 11, 'X'), "Invalid WAVE Format", 0},
      {"fmX", edited(wavBytes({}, eight), 14, 'X'), "Invalid fmt Format", 0},
      {"datX: no data chunk", edited(wavBytes({}, eight), 39, 'X'), "Can't read chunk", 0},
      {"zero in riff id", edited(wavBytes({}, eight), 2, 0), "Invalid RIFF Format RI", 0},
      {"fourth fmt byte free", edited(wavBytes({}, eight), 15, 'X'), "", 8},
      {"float format", wavBytes({.format = 3}, eight), "Invalid wav fmtFormat", 0},
      {"extensible", wavBytes({.format = 0xFFFE}, eight), "Invalid wav fmtFormat", 0},
      {"24 bits", wavBytes({.bits = 24}, eight), "Invalid wav nBitsPerSample", 0},
      {"fmt 18", wavBytes({.fmtSize = 18}, eight), "", 8},
      {"fmt 40", wavBytes({.fmtSize = 40}, eight), "", 8},
      {"fmt 12 reads a chunk inside the header", withFmtSize(12), "Can't read chunk", 0},
      {"fmt before the start", withFmtSize(-100), "Seek Error!", 0},
      {"odd 16-bit data", wavBytes({}, Bytes(17, 1)), "", 8},
      {"nine chunks before data", wavBytes({}, eight, chunks(9, 4, false)), "", 8},
      {"ten chunks before data", wavBytes({}, eight, chunks(10, 4, false)), "too many chunks", 0},
      {"odd chunks padded", wavBytes({}, eight, chunks(9, 3, true)), "", 8},
      {"odd chunks unpadded", wavBytes({}, eight, chunks(9, 3, false)), "", 8},
      {"chunk before the start", sized(wavBytes({}, eight, chunks(1, 0, false)), 40, -100), "Seek Error!", 0},
      // -9 moves back to the zero byte at 35, which is no pad: the header read there moves before the start.
      {"odd negative chunk size", sized(wavBytes({}, eight, chunks(1, 0, false)), 40, -9), "Seek Error!", 0},
  };
  for (const auto& [name, bytes, message, samples] : cases) {
    expectLoad(dir, bytes, expectedFor(message, samples), name);
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
    expectLoad(dir, Bytes(valid.begin(), valid.begin() + static_cast<long>(length)), expectedFor(message),
               "length " + std::to_string(length));
  }
}

// The bytes a process has read so far, from the kernel's count.
long bytesReadBy(int pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  std::string field;
  long value = 0;
  while (io >> field >> value && field != "rchar:") {
  }
  return value;
}

// A file cut short while the program reads it (here after its first two megabytes) fails its load
// as a data chunk longer than the file does, with nothing of that file printed before the message,
// although the stages and the save had started; the previous output stays, and no temporary file.
TEST(DamagedFile, AFileCutShortWhileItIsReadFailsItsLoadAlone) {
  if (programUnderTest().windows) {
    GTEST_SKIP() << "a file cut while Wine starts the program may not be read at all";
  }
  const TempDir dir;
  writeFile(dir / "in.wav", wavBytes({}, pcm16(std::vector<int>(30000000, 1000))));  // about 0.3 s of work
  writeFile(dir / "out.wav", {1, 2, 3});
  RunningProgram program(dir.path(), {"-c", "-b", "in.wav"});
  while (program.isRunning() && bytesReadBy(program.pid()) < 2000000) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));  // leaves the cores to the program
  }
  std::filesystem::resize_file(dir / "in.wav", 1000000);
  const RunResult result = program.finish();
  EXPECT_EQ(result.out, startup + "Can't read signal data\n\n");
  EXPECT_EQ(result.status, 255);
  EXPECT_EQ(readFile(dir / "out.wav"), Bytes({1, 2, 3}));
  EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"in.wav", "out.wav"}));
}

}  // namespace
}  // namespace velmora::test
