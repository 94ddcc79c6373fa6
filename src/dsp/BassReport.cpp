#include "dsp/BassReport.h"

#include <algorithm>

namespace velmora {

void BassReport::keep(const double* outputs, std::size_t count) {
  const std::size_t kept = 2 * reportedPairs;
  const std::size_t taken = std::min(count, kept);
  recent.insert(recent.end(), outputs + (count - taken), outputs + count);
  while (recent.size() > kept) {
    recent.pop_front();
  }
}

void BassReport::print(std::ostream& out) const {
  const std::int64_t first = pairs - static_cast<std::int64_t>(recent.size() / 2);
  for (std::size_t k = 0; k + 1 < recent.size(); k += 2) {
    out << "@i=" << first + static_cast<std::int64_t>(k / 2) << " outa=" << recent[k] << " outb=" << recent[k + 1]
        << " n=" << pairs << std::endl;
  }
}

}  // namespace velmora
