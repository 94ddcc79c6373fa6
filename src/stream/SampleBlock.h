#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

// What travels from stage to stage: a block of samples, once the compressor has measured them the
// window sum of each of their pairs, and once they are encoded the output file's bytes.

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

// Samples as doubles in the program's units (those of a 16-bit file; an 8-bit file's own).
using Samples = std::vector<double, UninitialisedAllocator<double>>;
using Bytes = std::vector<unsigned char, UninitialisedAllocator<unsigned char>>;

struct SampleBlock {
  Samples samples;
  // Pair i's window sum (the samples 2i and 2i + 1), for every pair of samples, once measured.
  Samples windowSums;
  // The samples encoded for the output file, once encoded.
  Bytes bytes;

  std::size_t pairs() const { return samples.size() / 2; }
};

}  // namespace velmora
