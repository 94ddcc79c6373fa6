#include <string>
#include <vector>

#include "cli/Driver.h"
#include "cli/Wildcards.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  // The Windows command shell passes patterns such as *.wav through; expand them as a Unix shell
  // would, comparing names without case as Windows does.
  const std::vector<std::string> expanded = velmora::expandWildcards(std::vector<std::string>(argv, argv + argc), true);
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
