// The names a screenshot can bear in its folder, kept compactly: a screenshot
// name, or a temporary name of one ("_tmp_<stamp>_<name>"). A history of
// commands over a million screenshots holds millions of such names, so each
// takes eight bytes: the screenshot name as a number, and the stamp as an
// index into a table of the few stamps the folder and its logs bear.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "shots/shot_record.h"

namespace shotrenum {

// A screenshot name as a number that orders as the names' bytes do: the case
// of "g" first (upper before lower), then the seven digits, then the cases of
// "p", "c" and "x". 28 bits; the name must pass IsShotName.
std::uint32_t ShotCode(const char* name);
void ShotNameOfCode(std::uint32_t code, char (&out)[kShotNameLength + 1]);
// The bits of a code that hold letter case: names that differ only there are
// one name where the file system ignores case.
inline constexpr std::uint32_t kShotCaseBits = (std::uint32_t{1} << 27) | 7u;

struct FolderName {
  std::uint32_t stamp;  // 0: the screenshot name itself; else the index (from
                        // 1) of a temporary name's stamp in its StampTable
  std::uint32_t shot;   // ShotCode of the screenshot name (in the temporary one)

  std::uint64_t Key() const { return std::uint64_t{stamp} << 32 | shot; }
  bool IsTemporary() const { return stamp != 0; }
  friend bool operator==(FolderName a, FolderName b) { return a.Key() == b.Key(); }
  friend bool operator<(FolderName a, FolderName b) { return a.Key() < b.Key(); }
};

// The same name with letter case ignored, for file systems that ignore it.
inline std::uint64_t FoldedKey(FolderName name) { return name.Key() & ~std::uint64_t{kShotCaseBits}; }

// The stamps of temporary names, numbered from 1 as they are first met.
class StampTable {
 public:
  std::uint32_t Intern(std::int64_t stamp);
  // 0 when the stamp was never interned.
  std::uint32_t Find(std::int64_t stamp) const;
  std::int64_t Stamp(std::uint32_t index) const { return stamps_[index - 1]; }
  std::size_t size() const { return stamps_.size(); }

 private:
  std::vector<std::int64_t> stamps_;
  std::unordered_map<std::int64_t, std::uint32_t> index_;
};

// Reads a screenshot name or a temporary name of one; false for any other.
bool ReadFolderName(const char* text, StampTable& stamps, FolderName* out);
// The name as its file bears it. `out` has room for any temporary name.
void FolderNameText(FolderName name, const StampTable& stamps, char (&out)[64]);

}  // namespace shotrenum
