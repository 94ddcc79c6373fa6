#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <thread>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "system/Process.h"
#include "system/TemporaryFiles.h"

namespace velmora::process {

namespace {

bool pipesWatched = false;  // SIGPIPE had its default action at start

// A closed descriptor 0, 1 or 2 would be taken by the next file opened, which the program would
// then read keys from or print its lines into.
void openClosedStandardStreams() {
  for (int stream = STDIN_FILENO; stream <= STDERR_FILENO; ++stream) {
    if (::fcntl(stream, F_GETFD) == -1 && errno == EBADF) {
      ::open("/dev/null", O_RDWR);  // the lowest free descriptor: this one
    }
  }
}

}  // namespace

void start() {
  openClosedStandardStreams();
#if defined(__GLIBC__)
  // The stages' blocks and windows, a few hundred kilobytes each, come from the heap and stay
  // there for the next file, instead of being mapped fresh (and their pages cleared) every time.
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
  TemporaryFiles::watchInterruptions();
  pipesWatched = std::signal(SIGPIPE, SIG_IGN) != SIG_IGN;
  std::signal(SIGXFSZ, SIG_IGN);
}

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

bool namesStandardInput(const std::string& name) {
  struct stat named {};
  struct stat input {};
  return name == "-" || (stat(name.c_str(), &named) == 0 && fstat(STDIN_FILENO, &input) == 0 &&
                         named.st_dev == input.st_dev && named.st_ino == input.st_ino);
}

bool errorsOnTerminal() { return isatty(STDERR_FILENO) == 1; }

// A pipe (or socket) whose reader has gone reports an error condition to poll; a file, a terminal
// or a closed descriptor does not.
bool consoleClosed() {
  if (!pipesWatched || std::cout.good()) {
    return false;
  }
  pollfd console{STDOUT_FILENO, POLLOUT, 0};
  return poll(&console, 1, 0) == 1 && (console.revents & POLLERR) != 0;
}

// Only a console whose reader has gone abandons a run here: interruptions end the process from
// the thread that watches for them.
void endBy(Abandonment) {
  std::cout.flush();
  std::signal(SIGPIPE, SIG_DFL);
  std::raise(SIGPIPE);
  std::_Exit(exitFileFailure);
}

unsigned usableProcessors() {
#if defined(__linux__)
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    return static_cast<unsigned>(std::max(1, CPU_COUNT(&allowed)));
  }
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

std::chrono::nanoseconds threadTime() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace velmora::process
