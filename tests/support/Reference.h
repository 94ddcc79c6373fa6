#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dsp/Compressor.h"

// The processing stages as their definitions state them, written independently of the program's
// optimised loops, and the writer's sample encoding; the tests compare the program against them.

namespace velmora::test {

// Every pair re-sums its whole window; a term adds nothing once k reaches the pairs not yet
// finished, or once its samples would lie past the end of the input. Only the first pairs when
// pairs is given.
std::vector<double> referenceCompressor(const std::vector<double>& x, const CompressorSettings& c, double rate,
                                        std::size_t pairs = SIZE_MAX);

// The bass boost over the pairs of x, continuing from the filter state y.
std::vector<double> referenceBass(const std::vector<double>& x, double& y);

// The debug lines of the bass boost's last 99 pairs (all pairs when fewer), given its outputs.
std::string bassLines(const std::vector<double>& out);

// n whole-number samples of a tone, loud in the first half and quiet in the second, so that the
// compressor's gain moves.
std::vector<double> music(std::size_t n, int amplitude = 20000, int offset = 0);

// Clamped to the sample range, truncated toward zero, NaN as 0, little-endian.
std::vector<unsigned char> encoded(const std::vector<double>& samples, int bits);

}  // namespace velmora::test
