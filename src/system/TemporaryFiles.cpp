#include "system/TemporaryFiles.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace velmora {

namespace {

namespace fs = std::filesystem;

struct Registry {
  std::mutex lock;
  std::vector<fs::path> alive;
  fs::path output;
};

// Never destroyed: the interruption's thread may use it while the process ends.
Registry* const registryInstance = new Registry;

Registry& registry() { return *registryInstance; }

#ifdef _WIN32
std::atomic<bool> interrupted{false};

// Ctrl-C and Ctrl-Break arrive on a thread of their own. With no save alive the default handler
// ends the process; otherwise this one raises the flag and waits for a save to end it.
BOOL WINAPI interruptSaves(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    return FALSE;
  }
  {
    const std::lock_guard held(registry().lock);
    if (registry().alive.empty()) {
      return FALSE;
    }
    interrupted = true;
  }
  Sleep(INFINITE);
  return TRUE;
}
#else
constexpr int interruptions[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

sigset_t watched;  // the interruptions not ignored at start

// What an interruption does before the process ends: removes the temporary files and lets a reader
// waiting on the output go (an open for writing that does not wait, then its close, is the end of
// the pipe for it). Only calls a signal handler may make.
void removeAndRelease() {
  for (const fs::path& path : registry().alive) {
    unlink(path.c_str());
  }
  struct stat output {};
  if (!registry().output.empty() && stat(registry().output.c_str(), &output) == 0 && S_ISFIFO(output.st_mode)) {
    const int end = open(registry().output.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (end >= 0) {
      close(end);
    }
  }
}

// Waits for the watched signals; removes the temporary files, then lets the signal take its
// default action (no handler is ever installed), so that the parent sees the process end by it.
// The lock stays held until the process has ended: no save can create a new temporary file after
// the others were removed.
void waitForInterruptions() {
  for (;;) {
    int signal = 0;
    if (sigwait(&watched, &signal) != 0) {
      continue;
    }
    const std::lock_guard held(registry().lock);
    removeAndRelease();
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(signal);
  }
}

// Where no thread waits for them: the same in a handler. The registry only changes with the
// interruptions blocked in the thread that changes it, the only thread there is then.
void removeAndRaise(int signal) {
  removeAndRelease();
  std::signal(signal, SIG_DFL);
  raise(signal);
}
#endif

}  // namespace

void TemporaryFiles::watchInterruptions() {
#ifdef _WIN32
  SetConsoleCtrlHandler(interruptSaves, TRUE);
#else
  sigemptyset(&watched);
  for (const int signal : interruptions) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    if (current.sa_handler != SIG_IGN) {
      sigaddset(&watched, signal);
    }
  }
  pthread_sigmask(SIG_BLOCK, &watched, nullptr);
  try {
    std::thread(waitForInterruptions).detach();
  } catch (const std::system_error&) {
    for (const int signal : interruptions) {
      if (sigismember(&watched, signal) == 1) {
        std::signal(signal, removeAndRaise);
      }
    }
    pthread_sigmask(SIG_UNBLOCK, &watched, nullptr);
  }
#endif
}

void TemporaryFiles::changeUnderLock(const fs::path& path, bool alive, const std::function<bool()>& change) {
  holdInterruptions([&] {
    const bool done = change();
    std::vector<fs::path>& paths = registry().alive;
    if (done && alive) {
      paths.push_back(path);
    } else if (done) {
      paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    }
  });
}

// The watcher takes the lock before it removes the files and raises the signal; a handler cannot
// run in a thread that blocks the signals.
void TemporaryFiles::holdInterruptions(const std::function<void()>& work) {
#ifndef _WIN32
  sigset_t before;
  pthread_sigmask(SIG_BLOCK, &watched, &before);  // already blocked where the watcher runs
#endif
  {
    const std::lock_guard held(registry().lock);
    work();
  }
#ifndef _WIN32
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
#endif
}

void TemporaryFiles::watchOutput(const fs::path& output) {
  holdInterruptions([&] { registry().output = output; });
}

#ifdef _WIN32
bool TemporaryFiles::interruptionPending() { return interrupted; }

void TemporaryFiles::endInterrupted() { ExitProcess(STATUS_CONTROL_C_EXIT); }
#endif

}  // namespace velmora
