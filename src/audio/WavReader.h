#pragma once

#include <cstdint>
#include <istream>
#include <memory>
#include <string>

// Reads a PCM WAV file held in a stream into an array of doubles. It reports failure with the
// message the program prints instead of ending the process, so that the same walk serves the
// program's load and a fuzz harness over bytes in memory.

namespace velmora {

struct WavContents {
  bool ok = false;
  std::string message;  // the failure's message line, when !ok
  double samplerate = 0.0;
  std::int16_t channels = 0;
  std::int16_t bitspersample = 0;
  std::int32_t nosamples = 0;
  std::shared_ptr<double[]> samples;
};

class WavReader {
 public:
  // in must be positioned at the first byte of the file; size is the file's length in bytes.
  WavReader(std::istream& in, std::int64_t size);
  virtual ~WavReader() = default;

  WavContents read();

 private:
  bool readBytes(unsigned char* destination, std::int64_t count);
  bool move(std::int64_t delta);
  bool nextByteIsZero();
  bool decodeSamples(WavContents& contents, std::int32_t dataSize, std::int16_t bits);

  std::istream& in;
  std::int64_t size;
  std::int64_t position = 0;  // our own read position: seeking never depends on the stream type
};

// Loads a whole file from disk through WavReader; "I/O error" when it cannot be opened.
WavContents readWavFile(const std::string& filename);

}  // namespace velmora
