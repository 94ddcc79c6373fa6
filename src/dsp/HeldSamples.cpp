#include "dsp/HeldSamples.h"

#include <algorithm>

namespace velmora {

namespace {
// Dropping released samples moves the held ones to the front; it waits until at least this many,
// and half of what is held, are released, so that each sample is moved about once.
constexpr std::int64_t dropAtLeast = 1 << 14;
}  // namespace

void HeldSamples::append(const Samples& block) {
  const std::int64_t released = std::min<std::int64_t>(keepFrom - heldStart, static_cast<std::int64_t>(held.size()));
  if (released >= dropAtLeast && 2 * released >= static_cast<std::int64_t>(held.size())) {
    held.erase(held.begin(), held.begin() + released);
    heldStart += released;
  }
  held.insert(held.end(), block.begin(), block.end());
}

}  // namespace velmora
