#include "audio/BlockQueue.h"

#include <utility>

namespace velmora {

BlockQueue::BlockQueue(std::size_t size, BlockQueue* shared) : capacity(size), pool(shared == nullptr ? this : shared) {}

bool BlockQueue::push(SampleBlock&& block) {
  std::unique_lock held(lock);
  notFull.wait(held, [this] { return cancelled || blocks.size() < capacity; });
  if (cancelled) {
    return false;
  }
  blocks.push_back(std::move(block));
  notEmpty.notify_one();
  return true;
}

bool BlockQueue::pop(SampleBlock& block) {
  std::unique_lock held(lock);
  notEmpty.wait(held, [this] { return cancelled || closed || !blocks.empty(); });
  if (cancelled || blocks.empty()) {
    return false;
  }
  block = std::move(blocks.front());
  blocks.pop_front();
  notFull.notify_one();
  return true;
}

void BlockQueue::close() {
  const std::lock_guard held(lock);
  closed = true;
  notEmpty.notify_all();
}

void BlockQueue::cancel() {
  const std::lock_guard held(lock);
  cancelled = true;
  blocks.clear();
  notEmpty.notify_all();
  notFull.notify_all();
}

SampleBlock BlockQueue::spare() {
  if (pool != this) {
    return pool->spare();
  }
  const std::lock_guard held(lock);
  if (reusable.empty()) {
    return {};
  }
  SampleBlock block = std::move(reusable.back());
  reusable.pop_back();
  return block;  // its old contents: the caller sizes and fills it
}

void BlockQueue::giveBack(SampleBlock&& block) {
  if (pool != this) {
    pool->giveBack(std::move(block));
    return;
  }
  const std::lock_guard held(lock);
  if (reusable.size() < reusableBlocks && block.capacity() > 0) {
    reusable.push_back(std::move(block));
  }
}

}  // namespace velmora
