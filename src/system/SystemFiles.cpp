#include "system/SystemFiles.h"

#include <mutex>
#include <random>

namespace velmora::files {

namespace {

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
