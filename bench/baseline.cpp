// The floor of a renumbering run, for the benchmark to compare the tool with.
// It does only the work no renumbering of the current directory can skip: a
// counting pass over the listing (name and entry type), a collecting pass with
// one stat per screenshot, the sort into capture order, and the two rename
// phases through the same temporary names, each rename refusing to replace.
// No messages, no pause; built on Linux only.
//
// With --durable-log it also keeps the least log that survives a kill: one
// write(2) per row, as soon as its rename is done (a row per phase-1 rename
// into one file, and per phase-2 rename one into each of two files).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

namespace {

struct Shot {
  std::uint64_t ticks;  // last-write time, nanoseconds since 1970
  char name[13];
};

bool IsShot(const dirent* entry) {
  const char* n = entry->d_name;
  if (entry->d_type == DT_DIR || std::strlen(n) != 12) return false;
  if ((n[0] | 0x20) != 'g' || n[8] != '.' || (n[9] | 0x20) != 'p' || (n[10] | 0x20) != 'c' || (n[11] | 0x20) != 'x') {
    return false;
  }
  for (int i = 1; i < 8; ++i) {
    if (n[i] < '0' || n[i] > '9') return false;
  }
  return true;
}

// One row of a log, in one write: verdict, both names and time columns of
// the tool's width.
void WriteRow(int fd, const char* before, const char* after) {
  if (fd < 0) return;
  char row[128];
  const int length = std::snprintf(row, sizeof row, "OK,%s,%s,2024/01/01,00:00:00:00\n", before, after);
  if (write(fd, row, static_cast<std::size_t>(length)) != length) std::exit(3);
}

int OpenLog(const char* name) {
  const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) std::exit(3);
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  const bool durableLog = argc > 1 && std::string_view(argv[1]) == "--durable-log";
  DIR* dir = opendir(".");
  if (dir == nullptr) return 1;
  std::size_t count = 0;
  while (const dirent* entry = readdir(dir)) count += IsShot(entry) ? 1 : 0;
  closedir(dir);

  std::vector<Shot> shots;
  shots.reserve(count);
  dir = opendir(".");
  if (dir == nullptr) return 1;
  while (const dirent* entry = readdir(dir)) {
    if (!IsShot(entry)) continue;
    struct stat st;
    if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0) continue;
    Shot shot;
    shot.ticks = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u + st.st_mtim.tv_nsec;
    std::memcpy(shot.name, entry->d_name, sizeof shot.name);
    shots.push_back(shot);
  }
  closedir(dir);

  std::sort(shots.begin(), shots.end(), [](const Shot& a, const Shot& b) {
    if (a.ticks != b.ticks) return a.ticks < b.ticks;
    return std::strcmp(a.name, b.name) < 0;
  });

  // The temporary names share the run's prefix; targets are written digit by
  // digit, so the floor spends next to nothing outside the kernel.
  char temp[64];
  const int prefixLength = std::snprintf(temp, sizeof temp, "_tmp_%lld_", static_cast<long long>(std::time(nullptr)));
  int failures = 0;
  const int processLog = durableLog ? OpenLog("VeltraskoAll_baseline.csv") : -1;
  for (const Shot& shot : shots) {
    std::memcpy(temp + prefixLength, shot.name, sizeof shot.name);
    failures += renameat2(AT_FDCWD, shot.name, AT_FDCWD, temp, RENAME_NOREPLACE) != 0;
    WriteRow(processLog, shot.name, temp);
  }
  const int resultLog = durableLog ? OpenLog("VeltraskoLog_baseline.csv") : -1;
  char target[] = "G0000000.pcx";
  for (std::size_t i = 0; i < shots.size(); ++i) {
    std::memcpy(temp + prefixLength, shots[i].name, sizeof shots[i].name);
    std::size_t position = i;
    for (int digit = 7; digit >= 1; --digit, position /= 10) target[digit] = static_cast<char>('0' + position % 10);
    failures += renameat2(AT_FDCWD, temp, AT_FDCWD, target, RENAME_NOREPLACE) != 0;
    WriteRow(resultLog, shots[i].name, target);
    WriteRow(processLog, temp, target);
  }
  if (durableLog) {
    close(resultLog);
    close(processLog);
  }
  return failures == 0 ? 0 : 2;
}
