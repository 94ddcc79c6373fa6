#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/SampleCodec.h"
#include "audio/SampleCursor.h"
#include "audio/SignalFormat.h"
#include "stream/BlockPool.h"
#include "stream/Stage.h"
#include "system/ByteSource.h"

// Reads a WAV file of integer or floating-point PCM (plain, extensible or RF64): first its header and
// the chunk walk up to the sample data, then the samples a block at a time, decoded to doubles by
// the codec of their format. The same walk serves
// the program and a fuzz harness over bytes in memory. As the first stage of a chain it has no
// input: its drain makes the whole stream.

namespace velmora {

class WavReader : public Stage {
 public:
  // The bytes of a file, or none for a file that could not be opened ("I/O error").
  explicit WavReader(std::shared_ptr<const ByteSource> bytes);

  // Checks the header and walks the chunks to the first byte of the sample data, every read
  // checked against what is left of the file; throws the Failure the program prints.
  void readHeader();
  const SignalFormat& getFormat() const { return format; }
  // Decodes the next samples into block (at most blockSamples); false after the last one. A read
  // that fails throws Failure, "Can't read signal data".
  bool readBlock(SampleBlock& block);

  // After readHeader: a second read of the samples, from any index on.
  std::unique_ptr<SampleCursor> cursor() const;

  // Hands on every block of the file, each in a spare block of pool.
  void useBlocksOf(BlockPool& spare) { pool = &spare; }
  void step(SampleBlock&& block, BlockSink& next) override { next.put(std::move(block)); }
  void drain(BlockSink& next) override;
  void conclude(std::ostream& out) override;

 private:
  struct FormatChunk;
  void readExtension(FormatChunk& chunk);
  void findFormat();
  void takeFormat(const FormatChunk& chunk);
  void findData();
  void skipChunk(std::int64_t body, std::uint32_t length);
  bool readBytes(unsigned char* destination, std::int64_t count);
  bool move(std::int64_t delta);
  bool nextByteIsZero();

  std::shared_ptr<const ByteSource> source;
  std::int64_t size = -1;
  std::int64_t position = 0;
  SignalFormat format;
  const SampleCodec* codec = nullptr;
  std::optional<std::uint64_t> largeDataSize;  // an RF64 file's, from its ds64 chunk
  std::int64_t dataStart = 0;  // where the samples begin
  std::int64_t decoded = 0;    // samples decoded so far
  std::vector<unsigned char> bytes;
  BlockPool* pool = nullptr;
};

}  // namespace velmora
