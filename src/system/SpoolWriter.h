#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Writes the bytes of a save to its spool. A spool that will be renamed over its target is never
// read again: past its first page, its bytes go straight to the disk where the file system allows,
// in large aligned writes that the system does not copy, instead of through the page cache; its
// first page, which holds the headers, is written as any file is, so that a write that fails there
// fails alone, as it always did. Elsewhere, a spool to be renamed hands its bytes to the disk every
// few megabytes without waiting; one to be copied is left in the page cache, where the copy finds it.

namespace velmora {

class SpoolWriter {
 public:
  enum class Kind { copied, renamed };

  SpoolWriter(int descriptor, Kind kind);
  SpoolWriter(const SpoolWriter&) = delete;
  SpoolWriter& operator=(const SpoolWriter&) = delete;
  virtual ~SpoolWriter() = default;

  bool write(const unsigned char* bytes, std::size_t count);
  // Writes what waits for a whole aligned write.
  bool finish();
  // The bytes taken so far, also those a failed write took before it failed.
  std::int64_t written() const { return total; }
  // Where the writes that ended in the first page ended: a copy writes those bytes in the same
  // pieces, so that a target that takes each write apart (a datagram socket) sees them as they came.
  const std::vector<std::int64_t>& firstPieces() const { return pieces; }

 private:
  static constexpr std::size_t pageBytes = 4096;
  static constexpr std::size_t stagedBytes = std::size_t{1} << 20;
  static constexpr std::int64_t writeBackBytes = std::int64_t{8} << 20;

  bool writeThrough(const unsigned char* bytes, std::size_t count);
  bool writeStaged();

  int descriptor;
  Kind kind;
  bool direct = false;            // past the first page, writes bypass the page cache
  std::int64_t total = 0;         // bytes taken so far
  std::int64_t handedToDisk = 0;  // bytes whose write-back has been started
  struct Free {
    void operator()(unsigned char* bytes) const { ::operator delete[](bytes, std::align_val_t{pageBytes}); }
  };
  std::unique_ptr<unsigned char[], Free> staging;
  std::size_t staged = 0;
  std::vector<std::int64_t> pieces;
};

}  // namespace velmora
