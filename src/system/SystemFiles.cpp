#include "system/SystemFiles.h"

#include <algorithm>
#include <mutex>
#include <random>
#include <vector>

namespace velmora::files {

namespace {

namespace fs = std::filesystem;

std::mutex suffixLock;
std::mt19937_64 suffixGenerator{std::random_device{}()};

std::string randomSuffix() {
  static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  const std::lock_guard held(suffixLock);
  std::string suffix;
  for (int i = 0; i < 8; ++i) {
    suffix += digits[suffixGenerator() % 36];
  }
  return suffix;
}

}  // namespace

fs::path folderOf(const fs::path& target) { return target.parent_path().empty() ? fs::path(".") : target.parent_path(); }

fs::path folderOfFile(const fs::path& target) { return folderOf(destinationOf(target)); }

// An invalid TMPDIR falls back to /tmp, where there is one.
fs::path temporaryFolder() {
  std::error_code error;
  const fs::path folder = fs::temp_directory_path(error);
  if (!error && !folder.empty()) {
    return folder;
  }
  return fs::is_directory("/tmp", error) ? fs::path("/tmp") : fs::path(".");
}

bool copyBytes(int from, int to, std::int64_t length, const std::vector<std::int64_t>& pieces, std::int64_t& took) {
  std::vector<unsigned char> buffer(std::size_t{1} << 20);
  took = length;
  for (std::int64_t at = 0; at < length;) {
    const auto piece = std::upper_bound(pieces.begin(), pieces.end(), at);
    const std::int64_t end = std::min(length, piece != pieces.end() ? *piece : at + (1 << 20));
    const std::int64_t n = readAt(from, at, buffer.data(), static_cast<std::size_t>(end - at));
    if (n <= 0) {
      return false;
    }
    const std::size_t written = writeAll(to, buffer.data(), static_cast<std::size_t>(n));
    if (written < static_cast<std::size_t>(n)) {
      took = at + static_cast<std::int64_t>(written);
      return false;
    }
    at += n;
  }
  return true;
}

std::string temporaryName(const std::string& targetName) {
  constexpr std::size_t longestName = 255;
  constexpr std::size_t added = 14;
  std::size_t kept = std::min(targetName.size(), longestName - added);
  while (kept > 0 && kept < targetName.size() && (static_cast<unsigned char>(targetName[kept]) & 0xC0) == 0x80) {
    --kept;
  }
  std::string name(1, '.');
  name.append(targetName, 0, kept).append(1, '.').append(randomSuffix()).append(".tmp");
  return name;
}

}  // namespace velmora::files
