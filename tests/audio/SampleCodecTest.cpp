#include "audio/SampleCodec.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "stream/VectorUnits.h"
#include "support/Reference.h"

namespace velmora::test {
namespace {

// Every codec's vector loops against its direct ones and the encoding's definition, bit for bit, over the
// values at and past each format's edges and a run long enough for the vectors and their tails.
TEST(SampleCodec, VectorLoopsGiveTheDirectLoopsBytesAndSamples) {
  const double huge = std::numeric_limits<double>::max();
  std::vector<double> x = {NAN, -NAN, INFINITY, -INFINITY, huge, -huge, 0.0, -0.0, 255.9, 256, -1.7, 32767.5, -32768.7,
                           32767.999, -32768.001, 1.0 / 256, -1.0 / 65536, 40000, 1e39, -3.4e38 * 32768};
  std::mt19937 random(5);
  for (int i = 0; i < 50; ++i) {
    x.push_back(std::uniform_real_distribution<double>(-40000, 40000)(random));
  }
  for (const auto& [bits, floating] : {std::pair{8, false}, {16, false}, {24, false}, {32, false}, {32, true}, {64, true}}) {
    const SampleCodec& codec = *codecFor(bits, floating);
    std::vector<std::vector<unsigned char>> bytes(2, std::vector<unsigned char>(x.size() * static_cast<std::size_t>(bits / 8)));
    std::vector<std::vector<double>> decoded(2, std::vector<double>(x.size()));
    for (const int wide : {0, 1}) {
      VectorUnits::allowWide(wide == 1);
      codec.encode(x.data(), x.size(), bytes[static_cast<std::size_t>(wide)].data());
      codec.decode(bytes[0].data(), x.size(), decoded[static_cast<std::size_t>(wide)].data());
    }
    VectorUnits::allowWide(true);
    EXPECT_EQ(bytes[0], encoded(x, bits, floating)) << bits << (floating ? " float" : "");
    if (floating) {  // damaged samples read as 0, and the largest in 64 bits at 2^64 units, both ways
      std::vector<double> damaged = {NAN, INFINITY, -INFINITY, 1e300, -1e300, 0.5};
      std::vector<unsigned char> raw = encoded(damaged, 64, true);
      if (bits == 32) {
        raw = encoded(std::vector<double>(damaged.begin(), damaged.begin() + 3), 32, true);
        damaged.resize(3);
      }
      for (const bool wide : {false, true}) {
        VectorUnits::allowWide(wide);
        std::vector<double> read(damaged.size());
        codec.decode(raw.data(), read.size(), read.data());
        const std::vector<double> expected = {0, 0, 0, 0x1p64, -0x1p64, 0.5};
        EXPECT_EQ(read, std::vector<double>(expected.begin(), expected.begin() + static_cast<long>(read.size()))) << bits;
      }
    }
    EXPECT_EQ(bytes[1], bytes[0]) << bits << (floating ? " float" : "");
    for (std::size_t i = 0; i < x.size(); ++i) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(decoded[1][i]), std::bit_cast<std::uint64_t>(decoded[0][i])) << bits << " at " << i;
    }
  }
}

}  // namespace
}  // namespace velmora::test
