#pragma once

#include <filesystem>
#include <functional>

// The named temporary files of the saves alive in the process. Most saves hold their bytes in a
// file without a name, which nothing can leave behind; a name exists only where the file system
// cannot make such a file, and for the instant between giving a finished file its name and
// renaming it over the target. An interruption (Ctrl-C, Ctrl-\, SIGTERM, SIGHUP) removes every
// named one before the process ends by that signal. Creating, naming, renaming and removing a
// temporary file happen under the registry's lock, so an interruption never sees a half-done one.
//
// On POSIX systems the interruptions are blocked in every thread and one thread waits for them.
// Where no thread can be started (a process limit), a handler removes the files instead, and each
// change under the lock is made with the interruptions blocked in the thread that makes it, which
// is then the only one. On Windows a console control handler raises a flag that each save checks
// between two writes.

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

#ifdef _WIN32
  // Whether an interruption waits for the saves to remove their files.
  static bool interruptionPending();
  // Ends the process as an unhandled Ctrl-C would, once the caller's file is removed.
  [[noreturn]] static void endInterrupted();
#endif
};

}  // namespace velmora
