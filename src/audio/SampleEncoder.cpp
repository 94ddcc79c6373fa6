#include "audio/SampleEncoder.h"

#include <algorithm>
#include <utility>

namespace velmora {

void SampleEncoder::step(SampleBlock&& block, BlockSink& next) {
  const auto n = static_cast<std::size_t>(std::min<std::int64_t>(remaining, static_cast<std::int64_t>(block.samples.size())));
  block.bytes.resize(n * static_cast<std::size_t>(codec.bytesPerSample()));
  codec.encode(block.samples.data(), n, block.bytes.data());
  remaining -= static_cast<std::int64_t>(n);
  next.put(std::move(block));
}

}  // namespace velmora
