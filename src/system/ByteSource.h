#pragma once

#include <cstddef>
#include <cstdint>

// The bytes of an input, read at any offset, from any thread: a file on disk, or bytes in memory.

namespace velmora {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::int64_t size() const = 0;
  // Reads up to count bytes from offset on: how many were read (fewer at the end), or -1 where the
  // read failed.
  virtual std::int64_t readAt(std::int64_t offset, unsigned char* bytes, std::size_t count) const = 0;
};

}  // namespace velmora
