#pragma once

#include <string>

// The processing parameters that the command line sets, each default written here once. Flags are
// only ever switched on; values stay until a later option changes them.

namespace velmora {

struct Settings {
  bool compress = false;
  double threshold = 65.0;  // hundredths of a sample unit
  double slope = 4.0;       // ten-thousandths
  double tla = 1.0;         // look-ahead, ms
  double twnd = 10.0;       // window, ms
  double tatt = 0.2;        // attack, ms
  double trel = 1.0;        // release, ms
  bool truncate = false;
  bool boostBass = false;
  std::string outputName{};  // empty for the default

  // The file the output is saved to: outputName, or "out.wav" where it is empty.
  std::string outputFile() const { return outputName.empty() ? "out.wav" : outputName; }
};

}  // namespace velmora
