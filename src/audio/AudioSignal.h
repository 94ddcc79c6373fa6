#pragma once

#include <cstdint>

#include "audio/BlockGeometry.h"

// The input audio of a stage that looks ahead: a sliding stretch of a stream of samples. Blocks
// are appended as they arrive; samples are read by their index in the stream, and those that will
// not be read again are dropped from the front, so that it holds little more than the stretch
// still to be read.

namespace velmora {

// What a WAV header says of its samples.
struct SignalFormat {
  double samplerate = 0.0;
  std::int16_t channels = 0;
  std::int16_t bitspersample = 0;
  std::int32_t nosamples = 0;  // counted over all channels
};

class AudioSignal {
 public:
  AudioSignal() = default;
  AudioSignal(const AudioSignal&) = delete;
  AudioSignal& operator=(const AudioSignal&) = delete;
  virtual ~AudioSignal() = default;

  // Adds a copy of the block's samples after those held.
  void append(const SampleBlock& block);
  // The index after the last sample that has arrived.
  std::int64_t end() const { return heldStart + static_cast<std::int64_t>(held.size()); }
  // Where the sample of that index is held, from the first not released to end(); valid until
  // the next append.
  const double* at(std::int64_t index) const { return held.data() + (index - heldStart); }
  // Samples before index will not be read again.
  void release(std::int64_t index) { keepFrom = index; }

 private:
  SampleBlock held;  // the samples from index heldStart on
  std::int64_t heldStart = 0;
  std::int64_t keepFrom = 0;  // samples before it may be dropped
};

}  // namespace velmora
