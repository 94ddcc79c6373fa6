#include "system/Wildcards.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "system/FileNames.h"

namespace velmora {

namespace {

namespace fs = std::filesystem;

bool sameCharacter(char a, char b, bool ignoreCase) {
  if (!ignoreCase) {
    return a == b;
  }
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

std::vector<std::string> matchesOf(const std::string& argument, bool ignoreCase, const char* separators) {
  const std::size_t separator = argument.find_last_of(separators);
  const std::string folder = argument.substr(0, separator == std::string::npos ? 0 : separator + 1);
  const std::string pattern = argument.substr(folder.size());
  std::vector<std::string> matches;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(pathOf(folder.empty() ? "." : folder.c_str()), error)) {
    const std::string name = nameOf(entry.path().filename());
    if (entry.is_regular_file(error) && wildcardMatches(pattern, name, ignoreCase)) {
      matches.push_back(folder + name);
    }
  }
  std::sort(matches.begin(), matches.end());
  return matches;
}

}  // namespace

// Iterative matching with one backtrack point: the last '*' seen and where its run ended.
bool wildcardMatches(const std::string& pattern, const std::string& name, bool ignoreCase) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string::npos;
  std::size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || sameCharacter(pattern[p], name[n], ignoreCase))) {
      ++p;
      ++n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

std::vector<std::string> expandWildcards(const std::vector<std::string>& arguments, bool ignoreCase,
                                         const char* separators) {
  std::vector<std::string> expanded;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const std::size_t separator = argument.find_last_of(separators);
    const bool pattern = argument.find_first_of("*?", separator == std::string::npos ? 0 : separator) != std::string::npos;
    std::vector<std::string> matches;
    if (i > 0 && pattern && !argument.starts_with("-")) {
      matches = matchesOf(argument, ignoreCase, separators);
    }
    if (matches.empty()) {
      expanded.push_back(argument);
    } else {
      expanded.insert(expanded.end(), matches.begin(), matches.end());
    }
  }
  return expanded;
}

}  // namespace velmora
