#include "system/ProgressLine.h"

#include <cstdio>
#include <system_error>

namespace velmora {

namespace {
constexpr auto quietFor = std::chrono::seconds(1);
constexpr auto every = std::chrono::milliseconds(250);
}  // namespace

ProgressLine::ProgressLine(std::string fileName, std::int64_t samples) : name(std::move(fileName)), total(samples) {
  try {
    thread = std::thread([this] { keepCurrent(); });
  } catch (const std::system_error&) {
    // no thread, no line: the work goes on as it would
  }
}

ProgressLine::~ProgressLine() { stop(); }

void ProgressLine::stop() {
  {
    const std::lock_guard held(lock);
    stopping = true;
  }
  wake.notify_all();
  if (thread.joinable()) {
    thread.join();
  }
}

std::string ProgressLine::text() const {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
  const std::int64_t share = total > 0 ? std::min<std::int64_t>(100, 100 * done / total) : 100;
  char line[64];
  std::snprintf(line, sizeof line, ": %3lld%%  %lld:%02lld", static_cast<long long>(share),
                static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
  return name + line;
}

void ProgressLine::keepCurrent() {
  std::unique_lock held(lock);
  if (wake.wait_for(held, quietFor, [this] { return stopping; })) {
    return;
  }
  std::size_t shown = 0;
  do {
    const std::string line = text();
    std::fprintf(stderr, "\r%s%*s", line.c_str(), static_cast<int>(shown > line.size() ? shown - line.size() : 0), "");
    std::fflush(stderr);
    shown = std::max(shown, line.size());
  } while (!wake.wait_for(held, every, [this] { return stopping; }));
  std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown), "");
  std::fflush(stderr);
}

}  // namespace velmora
