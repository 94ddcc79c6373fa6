#pragma once

#include <string>
#include <vector>

#include "cli/Settings.h"

// The program's control flow: the start-up texts, the walk over the command line, and the
// load-process-save sequence of one input file. The bass boost's filter state is the one piece of
// processing state that carries on from one file to the next. Every failure reaches
// runCommandLine, the one place that prints it (with the usage text where it asks for it).

namespace velmora {

void printVersion();
void printBanner();
void printUsage(const std::string& programName);

// Loads, processes and saves one file with the settings in force.
void processFile(const std::string& inputName, const Settings& settings, double& bassState);

// Walks the arguments (the program's name first) from left to right: the status of the first
// failure, which is printed, or 0 after the last argument.
int runCommandLine(const std::vector<std::string>& arguments);

}  // namespace velmora
