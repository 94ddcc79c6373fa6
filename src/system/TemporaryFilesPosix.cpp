#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <system_error>
#include <thread>

#include "system/TemporaryFiles.h"

namespace velmora {

namespace {

namespace fs = std::filesystem;

constexpr int interruptions[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

sigset_t watched;  // the interruptions not ignored at start

}  // namespace

// What an interruption does before the process ends: removes the temporary files and lets a reader
// waiting on the output go (an open for writing that does not wait, then its close, is the end of
// the pipe for it). Only calls a signal handler may make.
static void removeAndRelease(const std::vector<fs::path>& alive, const fs::path& output) {
  for (const fs::path& path : alive) {
    unlink(path.c_str());
  }
  struct stat file {};
  if (!output.empty() && stat(output.c_str(), &file) == 0 && S_ISFIFO(file.st_mode)) {
    const int end = open(output.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (end >= 0) {
      close(end);
    }
  }
}

void TemporaryFiles::watchInterruptions() {
  sigemptyset(&watched);
  for (const int signal : interruptions) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    if (current.sa_handler != SIG_IGN) {
      sigaddset(&watched, signal);
    }
  }
  pthread_sigmask(SIG_BLOCK, &watched, nullptr);
  // Waits for the watched signals, then lets the signal take its default action (no handler is
  // ever installed), so that the parent sees the process end by it. The lock stays held until the
  // process has ended: no save can create a new temporary file after the others were removed.
  const auto waitForInterruptions = [] {
    for (;;) {
      int signal = 0;
      if (sigwait(&watched, &signal) != 0) {
        continue;
      }
      const std::lock_guard held(registry().lock);
      removeAndRelease(registry().alive, registry().output);
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, signal);
      pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
      raise(signal);
    }
  };
  try {
    std::thread(waitForInterruptions).detach();
  } catch (const std::system_error&) {
    // Where no thread waits for them: the same in a handler. The registry only changes with the
    // interruptions blocked in the thread that changes it, the only thread there is then.
    for (const int signal : interruptions) {
      if (sigismember(&watched, signal) == 1) {
        std::signal(signal, [](int caught) {
          removeAndRelease(registry().alive, registry().output);
          std::signal(caught, SIG_DFL);
          raise(caught);
        });
      }
    }
    pthread_sigmask(SIG_UNBLOCK, &watched, nullptr);
  }
}

// The watcher takes the lock before it removes the files and raises the signal; a handler cannot
// run in a thread that blocks the signals.
void TemporaryFiles::holdInterruptions(const std::function<void()>& work) {
  sigset_t before;
  pthread_sigmask(SIG_BLOCK, &watched, &before);  // already blocked where the watcher runs
  {
    const std::lock_guard held(registry().lock);
    work();
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

bool TemporaryFiles::interruptionPending() { return false; }

}  // namespace velmora
