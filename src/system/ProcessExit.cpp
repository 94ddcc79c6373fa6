#include "system/ProcessExit.h"

#include <csignal>
#include <cstdlib>
#include <iostream>

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

namespace velmora {

#ifndef _WIN32
namespace {
bool pipesWatched = false;  // SIGPIPE had its default action at start
}  // namespace
#endif

void ignoreBrokenPipes() {
#ifndef _WIN32
  pipesWatched = std::signal(SIGPIPE, SIG_IGN) != SIG_IGN;
#endif
}

// A pipe (or socket) whose reader has gone reports an error condition to poll; a file, a terminal
// or a closed descriptor does not.
bool consoleClosed() {
#ifndef _WIN32
  if (!pipesWatched || std::cout.good()) {
    return false;
  }
  pollfd console{STDOUT_FILENO, POLLOUT, 0};
  return poll(&console, 1, 0) == 1 && (console.revents & POLLERR) != 0;
#else
  return false;
#endif
}

void checkConsole() {
  if (consoleClosed()) {
    throw ConsoleClosed{};
  }
}

void endByBrokenPipe() {
#ifndef _WIN32
  std::signal(SIGPIPE, SIG_DFL);
  std::raise(SIGPIPE);
#endif
  std::_Exit(exitFileFailure);
}

void endProcess(int status) {
  std::cout.flush();
  std::exit(status);
}

}  // namespace velmora
