#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

// The named temporary files of the saves alive in the process. Most saves hold their bytes in a
// file without a name, which nothing can leave behind; a name exists only where the file system
// cannot make such a file, and for the instant between giving a finished file its name and
// renaming it over the target. An interruption (Ctrl-C, Ctrl-\, SIGTERM, SIGHUP) removes every
// named one before the process ends by that signal, and lets a reader waiting on the output, where
// it is a named pipe, go. Creating, naming, renaming and removing a temporary file happen under the
// registry's lock, so an interruption never sees a half-done one.
//
// On POSIX systems the interruptions are blocked in every thread and one thread waits for them.
// Where no thread can be started (a process limit), a handler removes the files instead, and each
// change under the lock is made with the interruptions blocked in the thread that makes it, which
// is then the only one. On Windows a console control handler raises a flag that each save checks
// between two writes. (TemporaryFilesPosix.cpp, TemporaryFilesWindows.cpp)

namespace velmora {

class TemporaryFiles {
 public:
  // Starts watching for interruptions; call once, before any other thread starts. Signals that
  // are ignored (as under nohup) stay ignored.
  static void watchInterruptions();

  // Runs change (which creates, names, renames or removes a temporary file) under the lock; when
  // it succeeds, records path as alive when alive is set, or forgets it.
  static void changeUnderLock(const std::filesystem::path& path, bool alive, const std::function<bool()>& change);
  // Runs work with interruptions held until it is done: a target written in place is then the
  // previous file or the complete new one whenever the process ends by one.
  static void holdInterruptions(const std::function<void()>& work);
  // The output of the file being worked on: where it is a named pipe, an interruption lets a
  // reader that waits on it go, as a failed run does.
  static void watchOutput(const std::filesystem::path& output);
  // Whether an interruption waits for the saves to remove their files (only on Windows: elsewhere
  // the interruption removes them itself).
  static bool interruptionPending();

 private:
  struct Registry {
    std::mutex lock;
    std::vector<std::filesystem::path> alive;
    std::filesystem::path output;
  };
  // Never destroyed: an interruption may use it while the process ends.
  static Registry& registry();
};

}  // namespace velmora
