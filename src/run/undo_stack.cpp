#include "run/undo_stack.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "rename/log_reader.h"

namespace shotrenum {

std::vector<StackEntry> ReadStack(const char* digits, bool* complete) {
  std::vector<StackEntry> entries;
  ShotSearch* search = StartLogSearch();
  *complete = true;
  if (search != nullptr) {
    ShotEntry listed;
    ListingStep step;
    while ((step = NextShotEntry(search, &listed)) == ListingStep::kEntry) {
      char found[15];
      LogKind kind;
      if (listed.isDirectory || !ReadLogFileName(listed.name, found, &kind) || std::strcmp(found, digits) < 0) {
        continue;
      }
      const auto same = std::find_if(entries.begin(), entries.end(),
                                     [&](const StackEntry& e) { return std::strcmp(e.digits, found) == 0; });
      if (same != entries.end() && kind == LogKind::kResult) continue;
      std::FILE* file = OpenFileForReading(listed.name);
      if (file == nullptr) continue;
      LogReader reader;
      const bool ours = ReadLogHead(&reader, file);
      std::fclose(file);
      if (!ours) continue;
      StackEntry entry{};
      std::memcpy(entry.digits, found, sizeof found);
      std::snprintf(entry.logName, sizeof entry.logName, "%s", listed.name);
      entry.undo = reader.head.undo;
      std::memcpy(entry.undoneDigits, reader.head.undoneDigits, sizeof entry.undoneDigits);
      if (same != entries.end()) {
        *same = entry;
      } else {
        entries.push_back(entry);
      }
    }
    EndShotSearch(search);
    *complete = step == ListingStep::kEnd;
  }
  std::sort(entries.begin(), entries.end(),
            [](const StackEntry& a, const StackEntry& b) { return std::strcmp(a.digits, b.digits) > 0; });
  // An undo that stands takes back the run (or undo) it names.
  for (const StackEntry& e : entries) {
    if (e.cancelled || !e.undo) continue;
    for (StackEntry& target : entries) {
      if (std::strcmp(target.digits, e.undoneDigits) == 0) target.cancelled = true;
    }
  }
  return entries;
}

}  // namespace shotrenum
