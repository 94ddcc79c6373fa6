#pragma once

#include <string>

// The processing parameters that the command line sets. Flags are only ever switched on; values
// stay until a later option changes them.

namespace velmora {

struct Settings {
  bool compress = false;
  double threshold = 65.0;
  double slope = 4.0;
  double tla = 1.0;
  double twnd = 10.0;
  double tatt = 0.2;
  double trel = 1.0;
  bool truncate = false;
  bool boostBass = false;
  std::string outputName;
};

}  // namespace velmora
