// Seams for the test build. Each fault has a variable holding the occurrences
// (counted from 1 over the whole run) at which it strikes: "N" the Nth, "N+"
// the Nth and every later one, and a comma-separated list of both
// ("2,5,9+"). SHOTRENUM_SEAM_REPEAT and SHOTRENUM_SEAM_BEFORE_SEARCH are not
// faults but conditions a test sets up; they are described below.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/seam.h"

namespace shotrenum::seam {

namespace {

struct FaultPoint {
  Fault fault;
  const char* variable;
  long occurrences;
};

// One row per fault the code can be made to meet.
FaultPoint faultTable[] = {
    {Fault::kSearchStart, "SHOTRENUM_SEAM_SEARCH_FAIL", 0},
    {Fault::kListingRead, "SHOTRENUM_SEAM_LISTING_FAIL", 0},
    {Fault::kEntryRepeated, "SHOTRENUM_SEAM_REPEAT", 0},
    {Fault::kRename, "SHOTRENUM_SEAM_RENAME_FAIL", 0},
    {Fault::kNoReplace, "SHOTRENUM_SEAM_NO_NOREPLACE", 0},
    {Fault::kKilledAfterLink, "SHOTRENUM_SEAM_DIE_AFTER_LINK", 0},
    {Fault::kFallbackUnlink, "SHOTRENUM_SEAM_UNLINK_FAIL", 0},
    {Fault::kLogWrite, "SHOTRENUM_SEAM_LOG_WRITE_FAIL", 0},
    {Fault::kClockSkips, "SHOTRENUM_SEAM_CLOCK_SKIPS", 0},
};

// Whether `occurrence` is in a list such as "2,5,9+".
bool Listed(const char* list, long occurrence) {
  for (;;) {
    char* end = nullptr;
    const long at = std::strtol(list, &end, 10);
    const bool orLater = *end == '+';
    if (at > 0 && (orLater ? occurrence >= at : occurrence == at)) return true;
    if (orLater) ++end;
    if (end == list || *end != ',') return false;
    list = end + 1;
  }
}

long EnvNumber(const char* variable) {
  const char* value = std::getenv(variable);
  return value == nullptr ? 0 : std::strtol(value, nullptr, 10);
}

// SHOTRENUM_SEAM_BEFORE_SEARCH "N:op:name;...", op "remove" or "create":
// changes the folder just before the Nth directory search starts, as another
// program could between the tool's two passes.
void ChangeFolderBeforeSearch(long searchNumber) {
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
    if (std::atol(item.substr(0, colon1).c_str()) != searchNumber) continue;
    const std::string op = item.substr(colon1 + 1, colon2 - colon1 - 1);
    const std::string name = item.substr(colon2 + 1);
    if (op == "remove") {
      std::remove(name.c_str());
    } else if (op == "create") {
      if (std::FILE* f = std::fopen(name.c_str(), "wb")) std::fclose(f);
    }
  }
}

// SHOTRENUM_SEAM_REPEAT "K": every entry a search lists comes K times.
long repeatsLeft = 0;
long ExtraRepeats() { return EnvNumber("SHOTRENUM_SEAM_REPEAT") - 1; }

}  // namespace

bool Injected(Fault fault) {
  FaultPoint* point = nullptr;
  for (FaultPoint& row : faultTable) {
    if (row.fault == fault) point = &row;
  }
  const long occurrence = ++point->occurrences;
  switch (fault) {
    case Fault::kSearchStart:
      ChangeFolderBeforeSearch(occurrence);
      repeatsLeft = ExtraRepeats();
      break;
    case Fault::kEntryRepeated:
      // Asked before each read past the first: repeat the entry or read on.
      if (repeatsLeft > 0) {
        --repeatsLeft;
        return true;
      }
      repeatsLeft = ExtraRepeats();
      return false;
    default:
      break;
  }
  const char* list = std::getenv(point->variable);
  const bool strikes = list != nullptr && Listed(list, occurrence);
  // As sudden as a kill: no buffer is flushed, nothing else runs.
  if (strikes && fault == Fault::kKilledAfterLink) std::_Exit(137);
  return strikes;
}

}  // namespace shotrenum::seam
