#pragma once

#include <string>
#include <vector>

// Expands wildcard patterns in file-name arguments, as a Unix shell does before a program
// starts; the Windows command shell leaves them to the program. Names are UTF-8 there.

namespace velmora {

// Whether name (one path component) matches pattern: '*' stands for any run of characters,
// '?' for exactly one; letters compare without case when ignoreCase is set.
bool wildcardMatches(const std::string& pattern, const std::string& name, bool ignoreCase);

// Every argument after the program name that holds '*' or '?' in its last path component (after
// the last of separators) and does not begin with '-' becomes the sorted names of the regular files
// it matches, with the folder part written as given; a pattern that matches nothing stays as it is.
std::vector<std::string> expandWildcards(const std::vector<std::string>& arguments, bool ignoreCase,
                                         const char* separators = "/");

}  // namespace velmora
