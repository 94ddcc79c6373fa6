#pragma once

#include <cstdint>

// What a WAV header says of its samples.

namespace velmora {

struct SignalFormat {
  double samplerate = 0.0;
  std::int16_t channels = 0;
  std::int16_t bitspersample = 0;
  std::int64_t nosamples = 0;  // counted over all channels

  // The stages take the samples two at a time: an odd last sample never reaches the output.
  std::int64_t pairs() const { return nosamples / 2; }
};

}  // namespace velmora
