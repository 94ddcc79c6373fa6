#pragma once

#include <string>

// The program's control flow: the start-up texts, the walk over the command line, and the
// load-process-save sequence of one input file. The bass boost's filter state is the one piece of
// processing state that carries on from one file to the next.

namespace velmora {

void printVersion();
void printBanner();
void printUsage(std::string programName);

void processFile(std::string inputName, std::string outputName, double threshold, double slope,
                 double tla, double twnd, double tatt, double trel, bool truncate, bool compress,
                 bool boostBass, double& bassState);

// Walks the arguments from left to right and ends the process: with the status of the first
// failure, which is printed, or 0 after the last argument. Never returns.
[[noreturn]] void runCommandLine(int argc, char** argv);

}  // namespace velmora
