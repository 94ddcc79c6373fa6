// Feeds arbitrary bytes to the WAV reader as an in-memory file. Every input must either be
// refused with a message or give samples that lie in the range of their format, as many as its
// header announces; the sanitizers catch any read out of bounds, overflow or leak on the way.

#include <cstdint>
#include <cmath>
#include <cstdlib>

#include "audio/WavReader.h"
#include "support/WavBytes.h"
#include "system/Failure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  velmora::WavReader reader(std::make_shared<velmora::test::MemoryBytes>(velmora::test::Bytes(data, data + size)));
  try {
    reader.readHeader();
  } catch (const velmora::Failure& failure) {
    return failure.message.empty() ? (std::abort(), 0) : 0;
  }
  // 16-bit units: an 8-bit file's own, deeper integers below 32768, floating point any value.
  const velmora::SignalFormat& format = reader.getFormat();
  const double low = format.floatingPoint ? -HUGE_VAL : format.bitspersample == 8 ? 0.0 : -32768.0;
  const double high = format.floatingPoint ? HUGE_VAL : format.bitspersample == 8 ? 255.0 : std::nextafter(32768.0, 0.0);
  std::int64_t count = 0;
  for (velmora::SampleBlock block; reader.readBlock(block); count += static_cast<std::int64_t>(block.samples.size())) {
    for (const double sample : block.samples) {
      if (!(sample >= low && sample <= high) && !(format.floatingPoint && sample != sample)) {
        std::abort();
      }
    }
  }
  return count == reader.getFormat().nosamples ? 0 : (std::abort(), 0);
}
