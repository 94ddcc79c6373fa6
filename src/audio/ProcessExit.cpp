#include "audio/ProcessExit.h"

#include <cstdlib>
#include <iostream>

namespace velmora {

namespace {
ExitHandler currentHandler = nullptr;
}

void endProcess(std::string_view message, int status) {
  std::cout << message << std::endl;
  endProcess(status);
}

void endProcess(const Failure& failure) { endProcess(failure.message, failure.status); }

void endProcess(int status) {
  std::cout.flush();
  if (currentHandler != nullptr) {
    currentHandler(status);
  }
  std::exit(status);
}

ExitHandler setExitHandler(ExitHandler handler) {
  ExitHandler previous = currentHandler;
  currentHandler = handler;
  return previous;
}

}  // namespace velmora
