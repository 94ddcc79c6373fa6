#include "stream/BlockQueue.h"

#include <utility>

namespace velmora {

void BlockQueue::push(SampleBlock&& block) {
  std::unique_lock held(lock);
  notFull.wait(held, [this] { return blocks.size() < capacity; });
  blocks.push_back(std::move(block));
  notEmpty.notify_one();
}

bool BlockQueue::pop(SampleBlock& block) {
  std::unique_lock held(lock);
  notEmpty.wait(held, [this] { return closed || !blocks.empty(); });
  if (blocks.empty()) {
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

}  // namespace velmora
