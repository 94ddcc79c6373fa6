#include "audio/BlockQueue.h"

#include <utility>

namespace velmora {

BlockQueue::BlockQueue(std::size_t size) : capacity(size) {}

bool BlockQueue::push(SampleBlock&& block) {
  std::unique_lock held(lock);
  changed.wait(held, [this] { return cancelled || blocks.size() < capacity; });
  if (cancelled) {
    return false;
  }
  blocks.push_back(std::move(block));
  changed.notify_all();
  return true;
}

bool BlockQueue::pop(SampleBlock& block) {
  std::unique_lock held(lock);
  changed.wait(held, [this] { return cancelled || closed || !blocks.empty(); });
  if (cancelled || blocks.empty()) {
    return false;
  }
  block = std::move(blocks.front());
  blocks.pop_front();
  changed.notify_all();
  return true;
}

void BlockQueue::close() {
  const std::lock_guard held(lock);
  closed = true;
  changed.notify_all();
}

void BlockQueue::cancel() {
  const std::lock_guard held(lock);
  cancelled = true;
  blocks.clear();
  changed.notify_all();
}

SampleBlock BlockQueue::spare() {
  const std::lock_guard held(lock);
  if (reusable.empty()) {
    return {};
  }
  SampleBlock block = std::move(reusable.back());
  reusable.pop_back();
  block.clear();
  return block;
}

void BlockQueue::giveBack(SampleBlock&& block) {
  const std::lock_guard held(lock);
  if (reusable.size() < capacity + 2 && block.capacity() > 0) {
    reusable.push_back(std::move(block));
  }
}

}  // namespace velmora
