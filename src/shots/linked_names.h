// The files of more than one name a listing found, by name: a rename by
// link and unlink cut between its two steps leaves one file at two names.
// What decides asks this table, never the folder; nearly always it is empty.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace shotrenum {

class LinkedNames {
 public:
  void Add(const char* name, FileIdentity identity);
  // Whether the listing found `a` and `b` as two names of one file.
  bool OneFile(const char* a, const char* b) const;
  bool empty() const { return names_.empty(); }

 private:
  struct Named {
    std::string name;
    FileIdentity identity;
  };
  // Where `name` is, or would go.
  std::vector<Named>::const_iterator At(const char* name) const;
  const Named* Find(const char* name) const;
  std::vector<Named> names_;  // sorted by name
};

}  // namespace shotrenum
