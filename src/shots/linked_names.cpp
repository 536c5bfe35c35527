#include "shots/linked_names.h"

#include <algorithm>
#include <cstring>

namespace shotrenum {

void LinkedNames::Add(const char* name, FileIdentity identity) {
  names_.push_back(Named{name, identity});
  sorted_ = false;
}

const LinkedNames::Named* LinkedNames::Find(const char* name) const {
  if (!sorted_) {
    std::sort(names_.begin(), names_.end(), [](const Named& a, const Named& b) { return a.name < b.name; });
    sorted_ = true;
  }
  const auto at = std::lower_bound(names_.begin(), names_.end(), name, [](const Named& n, const char* key) {
    return std::strcmp(n.name.c_str(), key) < 0;
  });
  return at != names_.end() && at->name == name ? &*at : nullptr;
}

bool LinkedNames::OneFile(const char* a, const char* b) const {
  if (names_.empty()) return false;
  const Named* first = Find(a);
  const Named* second = Find(b);
  return first != nullptr && second != nullptr && first->identity == second->identity;
}

}  // namespace shotrenum
