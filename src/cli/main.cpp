#include <string>
#include <vector>

#include "cli/Driver.h"
#include "cli/Wildcards.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

namespace {

std::string utf8Of(const wchar_t* text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string converted(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
  if (bytes > 1) {
    WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), bytes, nullptr, nullptr);
  }
  return converted;
}

// The command line as wide characters, so that every name arrives whole whatever the code page,
// carried on as UTF-8.
std::vector<std::string> wideArguments() {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(utf8Of(wide[i]));
  }
  LocalFree(wide);
  return arguments;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // The Windows command shell passes patterns such as *.wav through; expand them as a Unix shell
  // would, comparing names without case as Windows does.
  (void)argc;
  (void)argv;
  const std::vector<std::string> expanded = velmora::expandWildcards(wideArguments(), true);
  std::vector<char*> pointers;
  for (const std::string& argument : expanded) {
    pointers.push_back(const_cast<char*>(argument.c_str()));
  }
  pointers.push_back(nullptr);
  velmora::runCommandLine(static_cast<int>(expanded.size()), pointers.data());
#else
  velmora::runCommandLine(argc, argv);
#endif
}
