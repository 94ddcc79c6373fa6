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
      // The block was most often filled on another processor, and a loop that waits on its chain
      // asks for its memory too late on its own: the lines of the part after the next are asked for
      // now, a line (eight samples) at a time, none past the block's end.
      for (std::size_t line = to + quietCheck; line < std::min(count, to + 2 * quietCheck); line += 8) {
        __builtin_prefetch(x + line, 1);
      }
      for (std::size_t i = from; i < to; ++i) {
        x[i] = local.step(x[i]);
      }
    }
  }
  *this = local;
}

}  // namespace velmora
