#pragma once

#include <mutex>
#include <vector>

#include "stream/SampleBlock.h"

// Spare blocks, given back by the stage that consumed them and taken again by one that fills
// them, so that a steady stream does not allocate, and a run over many short files reuses the
// same memory instead of having the system clear fresh pages for every file.

namespace velmora {

class BlockPool {
 public:
  BlockPool() = default;
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;
  virtual ~BlockPool() = default;

  // A block given back, with its old size and contents (the caller sizes and fills it), or an
  // empty one.
  SampleBlock take();
  void giveBack(SampleBlock&& block);

 private:
  static constexpr std::size_t keptBlocks = 8;

  std::mutex lock;
  std::vector<SampleBlock> spare;
};

}  // namespace velmora
