#pragma once

#include <cstdint>

// What a WAV file's header says of its samples, and how its format chunk said it, so that the
// output is written in the same format and container.

namespace velmora {

struct SignalFormat {
  double samplerate = 0.0;
  std::int16_t channels = 0;
  std::int16_t bitspersample = 0;
  std::int64_t nosamples = 0;  // counted over all channels
  bool floatingPoint = false;
  // The extensible format chunk, with its speaker positions.
  bool extensible = false;
  std::uint32_t channelMask = 0;

  // The stages take the samples two at a time: an odd last sample never reaches the output.
  std::int64_t pairs() const { return nosamples / 2; }
};

}  // namespace velmora
