#include "dsp/BassFilter.h"

#include <algorithm>

namespace velmora {

void BassFilter::run(double* x, std::size_t count) {
  BassFilter local = *this;  // in registers through the loop: the block may alias this object
  for (std::size_t from = 0; from < count; from += quietCheck) {
    const std::size_t to = std::min(count, from + quietCheck);
    if (local.quiet()) {
      local.settled = false;
      for (std::size_t i = from; i < to; ++i) {
        x[i] = local.quietStep(x[i]);
      }
    } else {
      for (std::size_t i = from; i < to; ++i) {
        x[i] = local.step(x[i]);
      }
    }
  }
  *this = local;
}

}  // namespace velmora
