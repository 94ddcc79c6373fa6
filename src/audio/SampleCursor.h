#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "audio/AudioSignal.h"

// A second read of the samples of a WAV file, from any index on, for a stage that needs samples
// again that it did not keep: the file is on disk and can be read as often as wanted, where
// holding what it would need again could take any amount of memory. Reads go a buffer at a time;
// indices that mostly rise one by one cost a buffer's read now and then.

namespace velmora {

class SampleCursor {
 public:
  // The samples of format that begin at byte dataStart of the file named name.
  SampleCursor(const std::string& name, std::int64_t dataStart, const SignalFormat& format);
  SampleCursor(const SampleCursor&) = delete;
  SampleCursor& operator=(const SampleCursor&) = delete;
  virtual ~SampleCursor() = default;

  // The sample of that index, which must lie below the format's count; a read that fails throws
  // Failure, "Can't read signal data".
  double at(std::int64_t index) {
    if (index < first || index >= first + static_cast<std::int64_t>(buffer.size())) {
      readFrom(index);
    }
    return buffer[static_cast<std::size_t>(index - first)];
  }

 private:
  void readFrom(std::int64_t index);

  std::ifstream file;
  std::int64_t dataStart;
  int width;
  std::int64_t samples;
  std::vector<unsigned char> bytes;
  std::vector<double> buffer;  // the samples from index first on
  std::int64_t first = 0;
};

}  // namespace velmora
