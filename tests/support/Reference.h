#pragma once

#include <cstdint>
#include <vector>

#include "dsp/Compressor.h"

// The processing stages as their definitions state them, written independently of the program's
// optimised loops, and the writer's sample encoding; the tests compare the program against them.

namespace velmora::test {

// Every pair re-sums its whole window; a term adds nothing once k reaches the pairs not yet
// finished, or once its samples would lie past the end of the input.
std::vector<double> referenceCompressor(const std::vector<double>& x, const CompressorSettings& c, double rate);

// The bass boost over the pairs of x, continuing from the filter state y.
std::vector<double> referenceBass(const std::vector<double>& x, double& y);

// Clamped to the sample range, truncated toward zero, NaN as 0, little-endian.
std::vector<unsigned char> encoded(const std::vector<double>& samples, int bits);

}  // namespace velmora::test
