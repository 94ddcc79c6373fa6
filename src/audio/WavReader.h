#pragma once

#include <cstdint>
#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/AudioSignal.h"
#include "audio/BlockPool.h"
#include "audio/SampleCursor.h"
#include "audio/Stage.h"

// Reads a PCM WAV file: first its header and the chunk walk up to the sample data, then the
// samples a block at a time, decoded to doubles. The header's failures come back as the message
// the program prints; the same walk serves the program and a fuzz harness over bytes in memory.
// As the first stage of a chain it has no input: its drain makes the whole stream.

namespace velmora {

// Decodes count little-endian samples of bits (8 or 16) from bytes into out, as doubles.
void decodeSamples(const unsigned char* bytes, std::int64_t count, int bits, double* out);

class WavReader : public Stage {
 public:
  // A stream positioned at the first byte of the file, size bytes long.
  WavReader(std::istream& in, std::int64_t size);
  // A file on disk; one that cannot be opened fails readHeader with "I/O error".
  explicit WavReader(const std::string& filename);
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;

  // Checks the header and walks the chunks to the first byte of the sample data, every read
  // checked against what is left of the file: the failure's message, or nothing.
  std::optional<std::string> readHeader();
  const SignalFormat& getFormat() const { return format; }
  // Decodes the next samples into block (at most blockSamples); false after the last one. A read
  // that fails throws Failure, "Can't read signal data".
  bool readBlock(SampleBlock& block);

  // After readHeader: a second read of the samples of a file on disk, from any index on.
  std::unique_ptr<SampleCursor> cursor() const;

  // Hands on every block of the file, each in a spare block of pool.
  void useBlocksOf(BlockPool& spare) { pool = &spare; }
  void step(SampleBlock&& block, BlockSink& next) override { next.put(std::move(block)); }
  void drain(BlockSink& next) override;

 private:
  bool readBytes(unsigned char* destination, std::int64_t count);
  bool move(std::int64_t delta);
  bool nextByteIsZero();

  std::string name;
  std::ifstream file;
  std::istream* in;
  std::int64_t size = -1;
  std::int64_t position = 0;  // our own read position: seeking never depends on the stream type
  SignalFormat format;
  std::int64_t dataStart = 0;  // where the samples begin
  std::int64_t decoded = 0;   // samples decoded so far
  std::vector<unsigned char> bytes;
  BlockPool* pool = nullptr;
};

}  // namespace velmora
