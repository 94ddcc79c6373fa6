#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// The shape of the stream of one file through the chain of stages: how many samples travel
// together, and how many blocks may wait between two stages that run on different threads.

namespace velmora {

// Leaves new elements of a container uninitialised, where a value-initialising one would first
// clear them: a block is resized before it is filled, and clearing would cost a pass over it.
template <class T>
struct UninitialisedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <class U>
  explicit UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* place) noexcept {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Arguments>
  void construct(U* place, Arguments&&... arguments) {
    ::new (static_cast<void*>(place)) U(std::forward<Arguments>(arguments)...);
  }
};

// Samples as doubles in the file's integer units, a block at a time.
using SampleBlock = std::vector<double, UninitialisedAllocator<double>>;

// Samples the reader decodes at a time.
inline constexpr std::size_t blockSamples = std::size_t{1} << 15;
// The longest look-ahead and window, in samples together, that the compressor holds in memory
// (512 KiB of samples, and as much again of blocks that wait for their windows); beyond, it reads
// the samples of its windows again from the file, as fast. Windows this short also keep their sums
// below 2^53 quarters, so their running sums are always exact.
inline constexpr std::int64_t heldWindowSamples = std::int64_t{1} << 16;
// Blocks a queue between two threads holds before its producer waits.
inline constexpr std::size_t queueBlocks = 4;

}  // namespace velmora
