#pragma once

#include <cstdint>

#include "audio/SampleCodec.h"
#include "stream/Stage.h"

// Encodes the samples of each block into the output file's bytes, up to the count its header
// announces, and hands the block on to the writer. A stage of its own, so that the encoding runs
// where the samples were last worked on, and only the bytes travel on to the stage that waits on
// the disk.

namespace velmora {

class SampleEncoder : public Stage {
 public:
  SampleEncoder(const SampleCodec& codec, std::int64_t count) : codec(codec), remaining(count) {}

  void step(SampleBlock&& block, BlockSink& next) override;
  void drain(BlockSink&) override {}

 private:
  const SampleCodec& codec;
  std::int64_t remaining;  // samples still to be encoded
};

}  // namespace velmora
