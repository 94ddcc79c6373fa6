#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "system/Failure.h"

// The process and its console, one implementation per platform (ProcessPosix.cpp,
// ProcessWindows.cpp).

namespace velmora::process {

// Makes the process ready before anything else runs: closed standard streams opened on the null
// device, interruptions watched so that temporary files are removed, SIGPIPE ignored (remembering
// whether it was ignored already: then a console whose reader has gone is ignored too, as it always
// was), a write past the file-size limit failing as any failed write does, and memory for the
// stages' blocks kept by the heap between files.
void start();

// The arguments as UTF-8 text, the program's name first, wildcard patterns expanded where the
// shell does not expand them.
std::vector<std::string> arguments(int argc, char** argv);

// Whether an input file name stands for standard input: "-", or a name of the file standard input
// reads (/dev/stdin, say).
bool namesStandardInput(const std::string& name);
// Whether standard error is a terminal, which a progress line may be written to.
bool errorsOnTerminal();

// Whether a write to standard output failed because its reader has gone.
bool consoleClosed();
// Throws the Abandonment when it has.
void checkConsole();

// Ends the process as the abandonment's cause would have, standard output flushed.
[[noreturn]] void endBy(Abandonment abandonment);

// How many processors this process may run on: those its affinity allows (as `taskset` sets
// them), where the system says; otherwise those the machine has. And how long the calling thread
// has run on them, which tells a stage that works from one that waits.
unsigned usableProcessors();
std::chrono::nanoseconds threadTime();

}  // namespace velmora::process
