#include "support/Reference.h"

#include <bit>
#include <cmath>
#include <sstream>

#include "support/TestSupport.h"

namespace velmora::test {

std::vector<double> referenceCompressor(const std::vector<double>& x, const Settings& c, double rate,
                                        std::size_t computed) {
  const auto n = static_cast<std::int64_t>(x.size());
  const std::int64_t pairs = n / 2;
  const auto last = static_cast<std::int64_t>(std::min<std::size_t>(computed, static_cast<std::size_t>(pairs)));
  const double r = std::trunc(rate);
  const double t = c.threshold * 0.01;
  const double s = (c.slope / 100) * 0.01;
  const double ca = c.tatt * 0.001 == 0 ? 0 : std::exp(-1 / ((c.tatt * 0.001) * r));
  const double cr = c.trel * 0.001 == 0 ? 0 : std::exp(-1 / ((c.trel * 0.001) * r));
  const auto wn = static_cast<std::int32_t>(r * (c.twnd * 0.001));
  const auto ln = static_cast<std::int32_t>(r * (c.tla * 0.001));
  const auto at = [&x](std::int64_t index) { return x[static_cast<std::size_t>(index)]; };
  double level = 0.0;
  std::vector<double> out;
  for (std::int64_t i = 0; i < last; ++i) {
    double sum = 0;
    for (std::int64_t k = ln; k < std::int64_t{ln} + wn && k < pairs - i && 2 * i + 3 + k < n; ++k) {
      const double mean = 0.5 * at(2 * i + 2 + k) + 0.5 * at(2 * i + 3 + k);
      sum += mean * mean;
    }
    const double rms = std::sqrt(sum / wn);
    const double q = rms > level ? ca : cr;
    level = q * level + (1 - q) * rms;
    const double gain = level > t ? (6.0 - (level - t) * s) / 3.0 : 6.0;
    for (const double sample : {at(2 * i), at(2 * i + 1)}) {
      const double o = sample * gain;
      out.push_back(c.truncate && o > 30000.0 ? 30000.0 : (c.truncate && o < -30000.0 ? -30000.0 : o));
    }
  }
  return out;
}

std::vector<double> referenceBass(const std::vector<double>& x, double& y) {
  std::vector<double> out;
  for (std::size_t i = 0; i < x.size() / 2 * 2; ++i) {
    y = (70.0 * y + x[i]) * (1 / (70.0 + 1));
    out.push_back((y * 12.0 + x[i]) * 0.2);
  }
  return out;
}

std::string bassLines(const std::vector<double>& out) {
  const std::size_t pairs = out.size() / 2;
  std::ostringstream lines;
  for (std::size_t i = pairs > 99 ? pairs - 99 : 0; i < pairs; ++i) {
    lines << "@i=" << i << " outa=" << out[2 * i] << " outb=" << out[2 * i + 1] << " n=" << pairs << "\n";
  }
  return lines.str();
}

std::vector<double> music(std::size_t n, int amplitude, int offset) {
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = offset + std::trunc(amplitude * std::sin(0.05 * static_cast<double>(i)) * (i < n / 2 ? 1.0 : 0.05));
  }
  return x;
}

std::vector<unsigned char> encoded(const std::vector<double>& samples, int bits, bool floatingPoint) {
  Bytes bytes;
  for (const double x : samples) {
    if (floatingPoint) {
      const double value = std::isnan(x) ? 0.0 : x / 32768;
      bits == 32 ? appendLe(bytes, std::bit_cast<std::uint32_t>(static_cast<float>(value)), 4)
                 : appendLe(bytes, std::bit_cast<std::uint64_t>(value), 8);
      continue;
    }
    const double scale = bits == 24 ? 256.0 : (bits == 32 ? 65536.0 : 1.0);
    const double low = bits == 8 ? 0.0 : -std::ldexp(1.0, bits - 1);
    const double high = bits == 8 ? 255.0 : std::ldexp(1.0, bits - 1) - 1;
    const double clamped = std::isnan(x) ? 0.0 : std::fmin(high, std::fmax(low, x * scale));
    appendLe(bytes, static_cast<std::uint64_t>(static_cast<std::int64_t>(clamped)), bits / 8);
  }
  return bytes;
}

}  // namespace velmora::test
