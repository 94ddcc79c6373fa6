#pragma once

#include <filesystem>
#include <string>

// File names travel through the program as the bytes the user gave. On Windows those bytes are
// UTF-8 (the command line is read as wide characters and converted), and they become wide paths
// again at every open, so that any name reaches its file; elsewhere a name is used as it is.
// (SystemFilesPosix.cpp, SystemFilesWindows.cpp)

namespace velmora {

std::filesystem::path pathOf(const std::string& name);
std::string nameOf(const std::filesystem::path& path);

}  // namespace velmora
