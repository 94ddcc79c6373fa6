#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/SampleCodec.h"
#include "audio/SignalFormat.h"
#include "stream/BlockPool.h"
#include "stream/Stage.h"
#include "system/SafeFileWriter.h"

// The last stage: saves a stream of samples as a WAV file in the input's format and container. The
// header goes first, with the sample count known from the input's header, then each block's bytes
// (a SampleEncoder before it encodes them) as they arrive, to a spool; only the commit, once every
// stage has succeeded, makes those bytes the target's contents. Its summary follows.

namespace velmora {

class WavWriter : public Stage {
 public:
  // A file named name, in format, that will hold count samples; blocks go back to pool once written.
  WavWriter(const std::string& name, const SignalFormat& format, std::int64_t count, BlockPool& pool);

  // Writes the block's bytes (encoded by the stage before); the first step opens the spool and
  // writes the header. Throws the failure's Failure.
  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink& next) override;
  void announce(std::ostream& out) const override;
  // The bytes become the target's contents, or the Failure is thrown with the target as it was;
  // then the summary.
  void conclude(std::ostream& out) override;

 private:
  void begin();
  void write(const unsigned char* bytes, std::size_t count);
  [[noreturn]] void fail(const SaveFailure& failure) const;

  std::string name;
  SafeFileWriter file;
  SignalFormat format;
  const SampleCodec* codec;
  std::int64_t count;
  BlockPool& pool;
  bool begun = false;
  std::int64_t dataChunkAt = 0;  // where the header's data chunk begins
};

}  // namespace velmora
