#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Settings.h"

// The stages as their definitions state them, independent of the program's loops, and the writer's encoding.

namespace velmora::test {

// Every pair re-sums its whole window, bounded by the pairs left and the input's end; only the first pairs if given.
std::vector<double> referenceCompressor(const std::vector<double>& x, const Settings& c, double rate,
                                        std::size_t pairs = SIZE_MAX);

// The bass boost over the pairs of x, continuing from the filter state y.
std::vector<double> referenceBass(const std::vector<double>& x, double& y);

// The debug lines of the bass boost's last 99 pairs (all pairs when fewer), given its outputs.
std::string bassLines(const std::vector<double>& out);

// n whole-number samples of a tone, loud in the first half and quiet in the second, so that the gain moves.
std::vector<double> music(std::size_t n, int amplitude = 20000, int offset = 0);

// The writer's encoding, little-endian, NaN as 0: integers clamped to the format's range and
// truncated toward zero at its resolution (16-bit units times 256 for 24 bits, 65536 for 32),
// floating point divided by 32768 and not clipped.
std::vector<unsigned char> encoded(const std::vector<double>& samples, int bits, bool floatingPoint = false);

}  // namespace velmora::test
