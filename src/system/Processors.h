#pragma once

// How many processors this process may run on: those its affinity allows (as `taskset` sets
// them), where the system says; otherwise those the machine has.

namespace velmora {

unsigned usableProcessors();

}  // namespace velmora
