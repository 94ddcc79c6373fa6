#pragma once

#include <string>

// How a run ends early. Errors are not returned up the call chain: the operation that meets one
// throws a Failure, which travels (from a stage's thread through the chain) to the one thread that
// prints, is printed there in the program's order, and ends the run with its status. An
// Abandonment ends the process as the event that caused it would have, once nothing is left
// behind: a console whose reader has gone (by SIGPIPE), an interruption (on Windows, where a
// save sees it).

namespace velmora {

// The process's exit statuses.
inline constexpr int exitSuccess = 0;
inline constexpr int exitUsage = 1;         // no arguments, -h, an unknown option letter
inline constexpr int exitReadFailure = 1;   // a read that a signal cannot serve
inline constexpr int exitFileFailure = -1;  // a WAV file not loaded or saved, or no memory for it

// An error: its message line (empty for none), the status the process ends with, and whether the
// usage text follows the message.
struct Failure {
  std::string message;
  int status = exitFileFailure;
  bool usage = false;
};

struct Abandonment {
  enum class Cause { consoleClosed, interrupted };
  Cause cause;
};

}  // namespace velmora
