#include "dsp/BassBoost.h"

namespace velmora {

BassBoost::BassBoost(double smooth, double output, double bass, double state)
    : smoothing(smooth), outputGain(output), bassGain(bass), scale(1 / (smooth + 1)), y(state) {}

}  // namespace velmora
