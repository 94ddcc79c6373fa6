#include "stream/BlockPool.h"

#include <utility>

namespace velmora {

SampleBlock BlockPool::take() {
  const std::lock_guard held(lock);
  if (spare.empty()) {
    return {};
  }
  SampleBlock block = std::move(spare.back());
  spare.pop_back();
  return block;
}

void BlockPool::giveBack(SampleBlock&& block) {
  const std::lock_guard held(lock);
  if (spare.size() < keptBlocks) {
    spare.push_back(std::move(block));
  }
}

}  // namespace velmora
