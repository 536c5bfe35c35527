// The wildcard patterns of a directory search, matched as Windows matches
// them on long names: "*" any run of characters, "?" any one, letters
// without regard to case. Shared by every OS.
#include <cstring>

#include "platform/platform.h"

namespace shotrenum {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool MatchesPattern(const char* name, const char* pattern) {
  // "*" and plain text (the search for screenshots, once for each entry of
  // a folder): the name ends in that text.
  if (pattern[0] == '*' && std::strpbrk(pattern + 1, "*?") == nullptr) {
    const std::size_t tail = std::strlen(pattern + 1);
    const std::size_t length = std::strlen(name);
    if (length < tail) return false;
    for (std::size_t i = 0; i < tail; ++i) {
      if (Lower(name[length - tail + i]) != Lower(pattern[1 + i])) return false;
    }
    return true;
  }
  // Greedy with one point of return: the last "*" seen.
  const char* starAt = nullptr;
  const char* resumeName = nullptr;
  while (*name != '\0') {
    if (*pattern == '*') {
      starAt = pattern++;
      resumeName = name;
    } else if (*pattern != '\0' && (*pattern == '?' || Lower(*pattern) == Lower(*name))) {
      ++pattern;
      ++name;
    } else if (starAt != nullptr) {
      pattern = starAt + 1;
      name = ++resumeName;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

}  // namespace shotrenum
