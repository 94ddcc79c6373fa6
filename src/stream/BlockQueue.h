#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

#include "stream/SampleBlock.h"
#include "stream/StreamShape.h"

// A bounded queue of sample blocks between two stages that run on different threads. The producer
// waits while it is full and the consumer while it is empty, so memory stays at a few blocks
// whatever the length of the stream; closing marks the end of the stream.

namespace velmora {

class BlockQueue {
 public:
  explicit BlockQueue(std::size_t capacity = queueBlocks) : capacity(capacity) {}
  BlockQueue(const BlockQueue&) = delete;
  BlockQueue& operator=(const BlockQueue&) = delete;
  virtual ~BlockQueue() = default;

  // Hands block on, waiting for room.
  void push(SampleBlock&& block);
  // Takes the next block, waiting for one; false at the end of the stream.
  bool pop(SampleBlock& block);
  // The producer is done: the consumer gets what is queued, then the end of the stream.
  void close();

 private:
  std::mutex lock;
  std::condition_variable notEmpty;
  std::condition_variable notFull;
  std::deque<SampleBlock> blocks;
  std::size_t capacity;
  bool closed = false;
  static constexpr std::size_t wakeAfter = 3;
};

}  // namespace velmora
