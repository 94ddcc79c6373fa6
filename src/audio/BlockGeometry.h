#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The shape of the stream of one file through the chain of stages: how many samples travel
// together, and how many blocks may wait between two stages that run on different threads.

namespace velmora {

// Samples as doubles in the file's integer units, a block at a time.
using SampleBlock = std::vector<double>;

// Samples the reader decodes at a time.
inline constexpr std::size_t blockSamples = std::size_t{1} << 15;
// Pairs in one block of the compressor's window levels: their two samples and their level each.
inline constexpr std::size_t levelPairs = std::size_t{1} << 14;
// Blocks a queue between two threads holds before its producer waits.
inline constexpr std::size_t queueBlocks = 4;
// A stream this short fills no queue: threads would cost more than they give.
inline constexpr std::int64_t shortStream = static_cast<std::int64_t>(queueBlocks * blockSamples);

}  // namespace velmora
