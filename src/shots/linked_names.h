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
  const Named* Find(const char* name) const;
  // Appended as listed (a folder whose every file has another name, as some
  // backups leave it, lists a million), sorted by name once asked.
  mutable std::vector<Named> names_;
  mutable bool sorted_ = true;
};

}  // namespace shotrenum
