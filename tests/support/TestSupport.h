#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "audio/AudioSignal.h"

// Shared helpers of the tests: WAV bytes built field by field, files, captured console output,
// intercepted process exits and runs of the built program.

namespace velmora::test {

using Bytes = std::vector<unsigned char>;

struct WavLayout {
  std::uint16_t channels = 2;
  std::int32_t rate = 44100;
  std::int16_t bits = 16;
  std::int32_t fmtSize = 16;
  std::uint16_t format = 1;
};

// Extra chunk before the data chunk; pad appends the RIFF zero byte after an odd body.
struct Chunk {
  std::string id;
  Bytes body;
  bool pad = false;
};

Bytes wavBytes(const WavLayout& layout, const Bytes& data, const std::vector<Chunk>& before = {});
Bytes pcm16(const std::vector<int>& samples);
Bytes pcm8(const std::vector<int>& samples);
void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value);

void writeFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes readFile(const std::filesystem::path& path);

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return dir; }
  std::filesystem::path operator/(const std::string& name) const { return dir / name; }

 private:
  std::filesystem::path dir;
};

// Redirects std::cout while alive.
class CoutCapture {
 public:
  CoutCapture() : previous(std::cout.rdbuf(text.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(previous); }
  std::string str() const { return text.str(); }

 private:
  std::ostringstream text;
  std::streambuf* previous;
};

// Runs action, which must end the process; returns what it printed and the exit status (or
// "returned" and 0 when it came back).
std::pair<std::string, int> endingOf(const std::function<void()>& action);

// A signal holding samples, made by the hand-over setters from a loaded file.
AudioSignal signalOf(const std::vector<double>& samples, double rate = 44100.0);

// The program the end-to-end tests run: the native build, or the Windows build under Wine when
// VELMORA_WINDOWS_PROGRAM names it.
struct ProgramUnderTest {
  std::vector<std::string> command;  // any wrapper (VELMORA_RUN_WRAPPER, Wine), then the program
  std::string name;                  // its first argument as the program sees it
  bool crlf = false;                 // console lines end in CR LF
  bool expandsWildcards = false;     // it expands *.wav itself instead of relying on a shell
};
const ProgramUnderTest& programUnderTest();

struct RunResult {
  std::string out;
  int status;
  long peakRssBytes = 0;
};

// Runs the program under test in folder with arguments, feeding input on standard input. Its
// console output comes back with plain line ends: under CR LF, a bare LF is left in place for the
// comparison to show. A
// fileSizeLimit of 0 or more caps the bytes any file of the program may reach, as a full disk would.
RunResult runProgram(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                     const std::string& input = "", long fileSizeLimit = -1);

}  // namespace velmora::test
