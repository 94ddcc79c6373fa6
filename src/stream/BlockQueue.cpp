#include "stream/BlockQueue.h"

#include <algorithm>
#include <utility>

namespace velmora {

// A consumer that waits is woken once a few blocks wait for it, and a producer once there is room
// for a few: each wakes about a third as often as for every block, and each wake-up costs a switch.
void BlockQueue::push(SampleBlock&& block) {
  std::unique_lock held(lock);
  notFull.wait(held, [this] { return blocks.size() < capacity; });
  blocks.push_back(std::move(block));
  if (blocks.size() >= std::min<std::size_t>(wakeAfter, capacity)) {
    notEmpty.notify_one();
  }
}

bool BlockQueue::pop(SampleBlock& block) {
  std::unique_lock held(lock);
  notEmpty.wait(held, [this] { return closed || !blocks.empty(); });
  if (blocks.empty()) {
    return false;
  }
  block = std::move(blocks.front());
  blocks.pop_front();
  if (blocks.size() + wakeAfter <= capacity || capacity < wakeAfter) {
    notFull.notify_one();
  }
  return true;
}

void BlockQueue::close() {
  const std::lock_guard held(lock);
  closed = true;
  notEmpty.notify_all();
}

}  // namespace velmora
