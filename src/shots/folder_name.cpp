#include "shots/folder_name.h"

#include <cstring>

#include "shots/shot_name.h"
#include "shots/temp_name.h"

namespace shotrenum {

namespace {

std::uint32_t Lower(char c) { return (c & 0x20) != 0 ? 1u : 0u; }

}  // namespace

std::uint32_t ShotCode(const char* name) {
  std::uint32_t number = 0;
  for (int i = 1; i <= 7; ++i) number = number * 10 + static_cast<std::uint32_t>(name[i] - '0');
  return Lower(name[0]) << 27 | number << 3 | Lower(name[9]) << 2 | Lower(name[10]) << 1 | Lower(name[11]);
}

void ShotNameOfCode(std::uint32_t code, char (&out)[kShotNameLength + 1]) {
  std::memcpy(out, "G0000000.pcx", sizeof out);
  std::uint32_t number = code >> 3 & 0xFFFFFF;
  for (int digit = 7; digit >= 1; --digit, number /= 10) out[digit] = static_cast<char>('0' + number % 10);
  out[0] = (code >> 27 & 1) != 0 ? 'g' : 'G';
  out[9] = (code & 4) != 0 ? 'p' : 'P';
  out[10] = (code & 2) != 0 ? 'c' : 'C';
  out[11] = (code & 1) != 0 ? 'x' : 'X';
}

std::uint32_t StampTable::Intern(std::int64_t stamp) {
  const auto [at, added] = index_.try_emplace(stamp, static_cast<std::uint32_t>(stamps_.size() + 1));
  if (added) stamps_.push_back(stamp);
  return at->second;
}

std::uint32_t StampTable::Find(std::int64_t stamp) const {
  const auto at = index_.find(stamp);
  return at == index_.end() ? 0 : at->second;
}

bool ReadFolderName(const char* text, StampTable& stamps, FolderName* out) {
  if (IsShotName(text, false)) {
    *out = FolderName{0, ShotCode(text)};
    return true;
  }
  std::int64_t stamp;
  const char* inner = ReadTempStamp(text, &stamp);
  if (inner == nullptr || !IsShotName(inner, false)) return false;
  *out = FolderName{stamps.Intern(stamp), ShotCode(inner)};
  return true;
}

void FolderNameText(FolderName name, const StampTable& stamps, char (&out)[64]) {
  char shot[kShotNameLength + 1];
  ShotNameOfCode(name.shot, shot);
  if (!name.IsTemporary()) {
    std::memcpy(out, shot, sizeof shot);
    return;
  }
  TempName(out, stamps.Stamp(name.stamp), shot);
}

}  // namespace shotrenum
