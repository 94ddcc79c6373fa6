#pragma once

#include <string>
#include <string_view>

// Errors in this program are not returned: the operation that meets one prints its message line on
// standard output and ends the process. Every such exit goes through endProcess, so that the rule
// lives in one place. A stage that runs on a thread of its own does not
// end the process itself: it throws its Failure, which travels to the main thread and is printed
// where the program's output reaches that stage.

namespace velmora {

// The process's exit statuses.
inline constexpr int exitSuccess = 0;
inline constexpr int exitUsage = 1;         // no arguments, -h, an unknown option letter
inline constexpr int exitReadFailure = 1;   // a read that a signal cannot serve
inline constexpr int exitFileFailure = -1;  // a WAV file not loaded or saved, or no memory for it

// An error met inside a stage: its message line and the status the process ends with.
struct Failure {
  std::string message;
  int status = exitFileFailure;
};

// Prints message and a line end, flushes standard output and ends the process with status.
[[noreturn]] void endProcess(std::string_view message, int status);
[[noreturn]] void endProcess(const Failure& failure);

// Flushes standard output and ends the process with status, printing nothing more (for exits whose
// text was printed already, such as the usage text).
[[noreturn]] void endProcess(int status);

}  // namespace velmora
