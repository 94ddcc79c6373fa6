#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <thread>

#include "system/Process.h"
#include "system/TemporaryFiles.h"
#include "system/Wildcards.h"

namespace velmora::process {

namespace {

std::string utf8Of(const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
  if (bytes > 1) {
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), bytes, nullptr, nullptr);
  }
  return converted;
}

}  // namespace

void start() { TemporaryFiles::watchInterruptions(); }

// The command line as wide characters, so that every name arrives whole whatever the code page,
// carried on as UTF-8. The command shell passes patterns such as *.wav through: they are expanded
// as a Unix shell would, comparing names without case as Windows does.
std::vector<std::string> arguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> given;
  for (int i = 0; i < count; ++i) {
    given.push_back(utf8Of(wide[i]));
  }
  LocalFree(wide);
  return expandWildcards(given, true, "\\/:");
}

bool namesStandardInput(const std::string& name) { return name == "-"; }

bool errorsOnTerminal() { return _isatty(2) != 0; }

bool consoleClosed() { return false; }

// Only an interruption abandons a run here: the save that saw it has removed its spool.
void endBy(Abandonment) {
  std::cout.flush();
  ExitProcess(STATUS_CONTROL_C_EXIT);
}

unsigned usableProcessors() { return std::max(1u, std::thread::hardware_concurrency()); }

std::chrono::nanoseconds threadTime() {
  FILETIME created, ended, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
  const auto ticks = [](const FILETIME& t) { return (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
}

}  // namespace velmora::process
