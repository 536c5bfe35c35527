#include "shots/shot_name.h"

#include <cstring>

#include "shots/shot_record.h"

namespace shotrenum {

bool IsShotName(const char* name, bool isDirectory) {
  if (isDirectory || std::strlen(name) != kShotNameLength) return false;
  const auto lower = [](char c) { return static_cast<char>(c | 0x20); };
  return lower(name[0]) == 'g' && std::strspn(name + 1, "0123456789") == 7 && name[8] == '.' && lower(name[9]) == 'p' &&
         lower(name[10]) == 'c' && lower(name[11]) == 'x';
}

}  // namespace shotrenum
