#pragma once

#include <string>

#include "cli/Settings.h"

// Applies one command-line option at a time to the settings: reads its number where it wants one,
// applies the -C presets, reports each numeric value it sets (and waits for a key), and throws the
// usage Failure for -h and for letters it does not know. One table says, for each letter, whether it
// takes the next argument as its value, its echo text and what it sets.

namespace velmora {

class OptionParser {
 public:
  // waitForKeys: whether each report reads a key from standard input (not where the audio comes
  // from there).
  explicit OptionParser(bool waitForKeys = true) : waitForKeys(waitForKeys) {}
  OptionParser(const OptionParser&) = delete;
  OptionParser& operator=(const OptionParser&) = delete;
  virtual ~OptionParser() = default;

  // Whether the letter's value is the next argument when nothing is attached to it.
  static bool takesValue(char letter);
  void parse(char letter, const std::string& value, Settings& settings);
  static void applyPreset(int preset, Settings& settings);

 private:
  void setAndReport(double& field, const char* label, const std::string& value, double lowerBound) const;

  bool waitForKeys;
  bool debug = false;
};

}  // namespace velmora
