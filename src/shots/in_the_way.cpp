#include "shots/in_the_way.h"

#include <cstring>

namespace shotrenum {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

long TargetPosition(const char* name, bool caseless) {
  static constexpr char kTarget[] = "G0000000.pcx";
  if (std::strlen(name) != kShotNameLength) return -1;
  long position = 0;
  for (int i = 0; i < kShotNameLength; ++i) {
    const char c = name[i];
    if (i >= 1 && i <= 7) {
      if (c < '0' || c > '9') return -1;
      position = position * 10 + (c - '0');
    } else if (c != kTarget[i] && !(caseless && Lower(c) == Lower(kTarget[i]))) {
      return -1;
    }
  }
  return position;
}

ScanResult FindInTheWay(long n, bool caseless, std::vector<InTheWay>* found) {
  found->clear();
  return ReadListing([&](const FolderEntry& entry) {
    if (Classify(entry).shot) return;
    const long position = TargetPosition(entry.name, caseless);
    if (position >= 0 && position < n) found->push_back(InTheWay{position, entry.name});
  });
}

}  // namespace shotrenum
