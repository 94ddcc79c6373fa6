#pragma once

#include <cstddef>
#include <cstdint>

// The shape of the stream of one file through the chain of stages: how many samples travel
// together, how far back the compressor holds them, and how many blocks may wait between two
// stages that run on different threads.

namespace velmora {

// Samples the reader decodes at a time.
inline constexpr std::size_t blockSamples = std::size_t{1} << 15;
// The longest look-ahead and window, in samples together, that the compressor holds in memory
// (512 KiB of samples, and as much again of blocks that wait for their windows); beyond, it reads
// the samples of its windows again from the file, as fast. Windows this short also keep their sums
// below 2^53 quarters, so their running sums are always exact.
inline constexpr std::int64_t heldWindowSamples = std::int64_t{1} << 16;
// Blocks a queue between two threads holds before its producer waits.
inline constexpr std::size_t queueBlocks = 4;

}  // namespace velmora
