#pragma once

#include <string>

#include "cli/Settings.h"

// Applies one command-line option at a time to the settings: reads its number where it wants one,
// applies the -C presets, reports each numeric value it sets, and ends the program with the usage
// text for -h and for letters it does not know.

namespace velmora {

using UsagePrinter = void (*)(std::string programName);

class OptionParser {
 public:
  OptionParser() = default;
  OptionParser(const OptionParser&) = delete;
  OptionParser& operator=(const OptionParser&) = delete;
  virtual ~OptionParser() = default;

  void parse(UsagePrinter printUsage, char letter, std::string programName, std::string value,
             Settings& settings);
  static void applyPreset(int preset, Settings& settings);

  bool isDebug() const { return debug; }

 private:
  bool debug = false;
};

}  // namespace velmora
