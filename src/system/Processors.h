#pragma once

#include <chrono>

// How many processors this process may run on: those its affinity allows (as `taskset` sets
// them), where the system says; otherwise those the machine has. And how long the calling thread
// has run on them, which tells a stage that works from one that waits.

namespace velmora {

unsigned usableProcessors();
std::chrono::nanoseconds threadTime();

}  // namespace velmora
