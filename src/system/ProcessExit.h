#pragma once

#include <string>

// How the process ends. Errors are not returned up the call chain: the operation that meets one
// throws a Failure, which travels (from a stage's thread through the chain) to the one thread that
// prints, is printed there in the program's order, and ends the process with its status.
//
// Standard output may be a pipe whose reader leaves early (`velmora ... | head`). SIGPIPE is
// ignored, so that no write anywhere ends the process in the middle of a save; a console whose
// reader has gone then ends the process by SIGPIPE at a safe point instead, as an unhandled write
// would have, once no temporary file is left.

namespace velmora {

// The process's exit statuses.
inline constexpr int exitSuccess = 0;
inline constexpr int exitUsage = 1;         // no arguments, -h, an unknown option letter
inline constexpr int exitReadFailure = 1;   // a read that a signal cannot serve
inline constexpr int exitFileFailure = -1;  // a WAV file not loaded or saved, or no memory for it

// An error: its message line (empty when its text was printed already, as the usage text is) and
// the status the process ends with.
struct Failure {
  std::string message;
  int status = exitFileFailure;
};

// Standard output's reader has gone: the process ends by SIGPIPE once the stack has unwound.
struct ConsoleClosed {};

// Ignores SIGPIPE from here on, remembering whether it was ignored already (then a console whose
// reader has gone is ignored too, as it always was).
void ignoreBrokenPipes();
// Whether a write to standard output failed because its reader has gone.
bool consoleClosed();
// Throws ConsoleClosed when it has.
void checkConsole();
// Ends the process by SIGPIPE, its default action restored.
[[noreturn]] void endByBrokenPipe();

// Flushes standard output and ends the process with status.
[[noreturn]] void endProcess(int status);

}  // namespace velmora
