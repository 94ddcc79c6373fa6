#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <ostream>

// What the bass boost prints once it has succeeded: a debug line for each of the last 99 pairs of
// its outputs (for every pair when there were fewer).

namespace velmora {

class BassReport {
 public:
  static constexpr std::size_t reportedPairs = 99;

  // For a stream of pairs pairs.
  explicit BassReport(std::int64_t pairs) : pairs(pairs) {}

  // The filter's next count outputs.
  void keep(const double* outputs, std::size_t count);
  void print(std::ostream& out) const;

 private:
  std::int64_t pairs;
  std::deque<double> recent;
};

}  // namespace velmora
