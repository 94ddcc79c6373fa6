#pragma once

#include <cstdint>

#include "stream/SampleBlock.h"

// The samples the compressor's window stage holds: a sliding stretch of a stream of samples. Blocks
// are appended as they arrive; samples are read by their index in the stream, and those that will
// not be read again are dropped from the front, so that it holds little more than the stretch
// still to be read.

namespace velmora {

class HeldSamples {
 public:
  HeldSamples() = default;
  HeldSamples(const HeldSamples&) = delete;
  HeldSamples& operator=(const HeldSamples&) = delete;
  virtual ~HeldSamples() = default;

  // Adds a copy of the block's samples after those held.
  void append(const Samples& block);
  // The index after the last sample that has arrived.
  std::int64_t end() const { return heldStart + static_cast<std::int64_t>(held.size()); }
  // Where the sample of that index is held, from the first not released to end(); valid until
  // the next append.
  const double* at(std::int64_t index) const { return held.data() + (index - heldStart); }
  // Samples before index will not be read again.
  void release(std::int64_t index) { keepFrom = index; }

 private:
  Samples held;  // the samples from index heldStart on
  std::int64_t heldStart = 0;
  std::int64_t keepFrom = 0;  // samples before it may be dropped
};

}  // namespace velmora
