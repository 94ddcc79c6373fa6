#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

// A bounded queue of sample blocks between two stages that run on different threads. The producer
// waits while it is full and the consumer while it is empty, so memory stays at a few blocks
// whatever the length of the stream. Closing marks the end of the stream; cancelling releases
// both sides for good, for a run that is being abandoned. Consumed blocks can be given back and
// reused by a producer, so that a steady stream does not allocate; queues of one chain can share
// the blocks of one of them.

namespace velmora {

using SampleBlock = std::vector<double>;

class BlockQueue {
 public:
  // shared: the queue whose spare blocks this one uses and adds to (nullptr: its own).
  explicit BlockQueue(std::size_t capacity = 4, BlockQueue* shared = nullptr);
  BlockQueue(const BlockQueue&) = delete;
  BlockQueue& operator=(const BlockQueue&) = delete;
  virtual ~BlockQueue() = default;

  // Hands block on, waiting for room; false (the block is dropped) once the queue is cancelled.
  bool push(SampleBlock&& block);
  // Takes the next block, waiting for one; false at the end of the stream or once cancelled.
  bool pop(SampleBlock& block);
  // The producer is done: the consumer gets what is queued, then the end of the stream.
  void close();
  void cancel();

  // A block to size and fill: the storage of one given back where there is one.
  SampleBlock spare();
  void giveBack(SampleBlock&& block);

 private:
  static constexpr std::size_t reusableBlocks = 16;

  std::mutex lock;
  std::condition_variable notEmpty;
  std::condition_variable notFull;
  std::deque<SampleBlock> blocks;
  std::vector<SampleBlock> reusable;
  std::size_t capacity;
  BlockQueue* pool;
  bool closed = false;
  bool cancelled = false;
};

}  // namespace velmora
