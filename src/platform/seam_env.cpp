// Seams for the test build, read from the environment:
//   SHOTRENUM_SEAM_RENAME_FAIL   "N" fails the Nth rename once, "N+" the Nth
//                                and every later one (counted from 1).
//   SHOTRENUM_SEAM_NO_NOREPLACE  "1": act as if no-replace rename were
//                                unsupported by the file system.
//   SHOTRENUM_SEAM_SEARCH_FAIL   "N": the Nth directory search cannot start.
//   SHOTRENUM_SEAM_BEFORE_SEARCH "N:op:name;..." with op "remove" or "create":
//                                change the directory before the Nth search.
//   SHOTRENUM_SEAM_REPEAT        "K": every matching entry is listed K times.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/seam.h"

namespace shotrenum::seam {

namespace {

long EnvNumber(const char* variable, bool* orLater = nullptr) {
  const char* value = std::getenv(variable);
  if (value == nullptr || *value == '\0') return 0;
  char* end = nullptr;
  const long number = std::strtol(value, &end, 10);
  if (orLater != nullptr) *orLater = *end == '+';
  return number;
}

void ApplyDirectoryChanges(int searchNumber) {
  const char* changes = std::getenv("SHOTRENUM_SEAM_BEFORE_SEARCH");
  if (changes == nullptr) return;
  std::string all(changes);
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find(';', start);
    if (end == std::string::npos) end = all.size();
    const std::string item = all.substr(start, end - start);
    start = end + 1;
    const std::size_t colon1 = item.find(':');
    const std::size_t colon2 = item.find(':', colon1 + 1);
    if (colon1 == std::string::npos || colon2 == std::string::npos) continue;
    if (std::atoi(item.substr(0, colon1).c_str()) != searchNumber) continue;
    const std::string op = item.substr(colon1 + 1, colon2 - colon1 - 1);
    const std::string name = item.substr(colon2 + 1);
    if (op == "remove") {
      std::remove(name.c_str());
    } else if (op == "create") {
      if (std::FILE* f = std::fopen(name.c_str(), "wb")) std::fclose(f);
    }
  }
}

}  // namespace

bool RenameFails() {
  static long calls = 0;
  bool orLater = false;
  const long failAt = EnvNumber("SHOTRENUM_SEAM_RENAME_FAIL", &orLater);
  ++calls;
  if (failAt <= 0) return false;
  return orLater ? calls >= failAt : calls == failAt;
}

bool NoReplaceUnsupported() { return EnvNumber("SHOTRENUM_SEAM_NO_NOREPLACE") != 0; }

bool SearchStarts(int searchNumber) {
  ApplyDirectoryChanges(searchNumber);
  return EnvNumber("SHOTRENUM_SEAM_SEARCH_FAIL") != searchNumber;
}

long EntryRepeats() {
  const long repeats = EnvNumber("SHOTRENUM_SEAM_REPEAT");
  return repeats > 0 ? repeats : 1;
}

}  // namespace shotrenum::seam
