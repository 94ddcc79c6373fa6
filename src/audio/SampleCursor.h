#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/SampleCodec.h"
#include "system/ByteSource.h"

// A second read of the samples of a WAV file, from any index on, for a stage that needs samples
// again that it did not keep: the file can be read as often as wanted, where holding what it would
// need again could take any amount of memory. Reads go a buffer at a time; indices that mostly rise
// one by one cost a buffer's read now and then.

namespace velmora {

class SampleCursor {
 public:
  // The samples samples, encoded by codec, that begin at byte dataStart of bytes.
  SampleCursor(std::shared_ptr<const ByteSource> bytes, std::int64_t dataStart, const SampleCodec& codec,
               std::int64_t samples);
  SampleCursor(const SampleCursor&) = delete;
  SampleCursor& operator=(const SampleCursor&) = delete;
  virtual ~SampleCursor() = default;

  // The sample of that index, which must lie below the count; a read that fails throws Failure,
  // "Can't read signal data".
  double at(std::int64_t index) {
    if (index < first || index >= first + static_cast<std::int64_t>(buffer.size())) {
      readFrom(index);
    }
    return buffer[static_cast<std::size_t>(index - first)];
  }

 private:
  void readFrom(std::int64_t index);

  std::shared_ptr<const ByteSource> source;
  std::int64_t dataStart;
  const SampleCodec& codec;
  std::int64_t samples;
  std::vector<unsigned char> bytes;
  std::vector<double> buffer;  // the samples from index first on
  std::int64_t first = 0;
};

}  // namespace velmora
