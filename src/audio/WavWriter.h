#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/AudioSignal.h"
#include "audio/BlockPool.h"
#include "audio/Stage.h"
#include "system/SafeFileWriter.h"

// The last stage: saves a stream of samples as a PCM WAV file. The header goes first, with the
// sample count known from the input's header, then each block, encoded as it arrives, to a spool;
// only the commit, once every stage has succeeded, makes those bytes the target's contents.

namespace velmora {

class WavWriter : public Stage {
 public:
  // A file named name, in format, that will hold count samples; blocks go back to pool once written.
  WavWriter(const std::string& name, const SignalFormat& format, std::int64_t count, BlockPool& pool);

  // Writes the block's samples, up to the count announced; the first step opens the spool and
  // writes the header. Throws the failure's Failure.
  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink& next) override;
  // After the stages have run: the bytes become the target's contents, or the Failure is thrown
  // with the target as it was.
  void commit();

  // Clamps to the sample range, truncates toward zero, NaN as 0; little-endian bytes into out.
  static std::size_t encode(const double* samples, std::size_t count, int bits, unsigned char* out);

 private:
  void begin();

  SafeFileWriter file;
  SignalFormat format;
  std::int64_t count;
  std::int64_t remaining;  // samples still to be written
  BlockPool& pool;
  bool begun = false;
  std::vector<unsigned char> bytes;
};

}  // namespace velmora
