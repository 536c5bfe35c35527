#include "shots/shot_name.h"

#include <cstring>

#include "shots/shot_record.h"

namespace shotrenum {

bool IsShotName(const char* name, bool isDirectory) {
  if (isDirectory) return false;
  if (std::strlen(name) != kShotNameLength) return false;
  return std::strspn(name + 1, "0123456789") == 7;
}

}  // namespace shotrenum
