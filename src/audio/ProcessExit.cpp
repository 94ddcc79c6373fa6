#include "audio/ProcessExit.h"

#include <cstdlib>
#include <iostream>

namespace velmora {

void endProcess(std::string_view message, int status) {
  std::cout << message << std::endl;
  endProcess(status);
}

void endProcess(const Failure& failure) { endProcess(failure.message, failure.status); }

void endProcess(int status) {
  std::cout.flush();
  std::exit(status);
}

}  // namespace velmora
