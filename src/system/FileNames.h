#pragma once

#include <filesystem>
#include <string>

// File names travel through the program as the bytes the user gave. On Windows those bytes are
// UTF-8 (the command line is read as wide characters and converted), and they become wide paths
// again at every open, so that any name reaches its file; elsewhere a name is used as it is.

namespace velmora {

inline std::filesystem::path pathOf(const std::string& name) {
#ifdef _WIN32
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
#else
  return std::filesystem::path(name);
#endif
}

inline std::string nameOf(const std::filesystem::path& path) {
#ifdef _WIN32
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
#else
  return path.string();
#endif
}

}  // namespace velmora
