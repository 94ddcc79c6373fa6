// Feeds arbitrary bytes to the WAV reader as an in-memory file. Every input must either be
// refused with a message or load samples that lie in the range of their bit depth; the
// sanitizers catch any read out of bounds, overflow or leak on the way.

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "audio/WavReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  const velmora::WavContents contents = velmora::WavReader(in, static_cast<std::int64_t>(size)).read();
  if (!contents.ok) {
    return contents.message.empty() ? (std::abort(), 0) : 0;
  }
  const double low = contents.bitspersample == 8 ? 0.0 : -32768.0;
  const double high = contents.bitspersample == 8 ? 255.0 : 32767.0;
  for (std::int32_t i = 0; i < contents.nosamples; ++i) {
    const double sample = contents.samples.get()[i];
    if (!(sample >= low && sample <= high)) {
      std::abort();
    }
  }
  return 0;
}
