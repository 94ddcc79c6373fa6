#include "system/TemporaryFiles.h"

#include <algorithm>

namespace velmora {

TemporaryFiles::Registry& TemporaryFiles::registry() {
  static Registry* const instance = new Registry;
  return *instance;
}

void TemporaryFiles::changeUnderLock(const std::filesystem::path& path, bool alive, const std::function<bool()>& change) {
  holdInterruptions([&] {
    const bool done = change();
    std::vector<std::filesystem::path>& paths = registry().alive;
    if (done && alive) {
      paths.push_back(path);
    } else if (done) {
      paths.erase(std::remove(paths.begin(), paths.end(), path), paths.end());
    }
  });
}

void TemporaryFiles::watchOutput(const std::filesystem::path& output) {
  holdInterruptions([&] { registry().output = output; });
}

}  // namespace velmora
