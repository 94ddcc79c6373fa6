#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "stream/Stage.h"
#include "support/WavBytes.h"

// Shared helpers: temporary folders, runs of the built program, and the texts it prints.

namespace velmora::test {

// What the program prints first: its version, from the build, and the banner.
inline const std::string startup =
    "Velmora " VELMORA_VERSION "\nDynamic range compressor and bass boost for PCM WAV files\n";

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

// A file of bytes with the mode, owned by owner and the group nobody where root may give it away.
std::filesystem::path ownedFile(const std::filesystem::path& path, const Bytes& bytes, unsigned owner, unsigned mode);

std::vector<std::string> namesIn(const std::filesystem::path& folder);

// The samples that come out of stages run by a chain, given samples in blocks of blockSize; their
// window sums into sums where given.
std::vector<double> throughStages(const std::vector<Stage*>& stages, const std::vector<double>& samples,
                                  std::size_t blockSize, std::vector<double>* sums = nullptr);

// The native build, or the Windows build under Wine when VELMORA_WINDOWS_PROGRAM names it.
struct ProgramUnderTest {
  std::vector<std::string> command;  // any wrapper (VELMORA_RUN_WRAPPER, Wine), then the program
  std::string name;                  // its first argument as the program sees it
  // The Windows build: CR LF lines, its own wildcards, no double quotes in names, no POSIX signals.
  bool windows = false;
};
const ProgramUnderTest& programUnderTest();

struct RunResult {
  std::string out;
  int status;
  long peakRssBytes = 0;
  std::string errors = "";  // what it wrote to standard error, where that was a terminal
};

// A run's limits (file size, processes), its user, its console (a file appended to, or closed) and its TMPDIR.
struct Limits {
  long fileSize = -1;
  int processes = 0;
  bool asNobody = false;
  const char* console = nullptr;
  bool closedConsole = false;
  bool errorsToTerminal = false;  // standard error a terminal of the test's, or a file (else the test's own)
  const char* errorsToFile = nullptr;
  const char* temporaryFolder = nullptr;
};

// The program started in folder with arguments and its standard input fed; finish() collects its output.
class RunningProgram {
 public:
  RunningProgram(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                 const std::string& input = "", const Limits& limits = {});
  int pid() const { return child; }
  // Whether it has not ended yet (an ended one stays to be collected by finish()).
  bool isRunning() const;
  // The console output with plain line ends (under CR LF a bare LF is marked for the comparison
  // to show), and the exit status; a process ended by a signal gives minus the signal's number.
  // With lines given, its output is closed once that many lines have been read, as by `head`.
  RunResult finish(std::size_t lines = SIZE_MAX);

 private:
  int child = -1;
  int output = -1;
  int terminal = -1;  // the test's end of the program's standard error, where that is a terminal
};

inline RunResult runProgram(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                            const std::string& input = "", const Limits& limits = {}) {
  return RunningProgram(folder, arguments, input, limits).finish();
}

inline constexpr unsigned nobody = 65534;

}  // namespace velmora::test
