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
//
// With --mapped-log it keeps the same rows, in the same order, as stores into
// a 1 MiB window of a shared mapping of each log file that slides along it:
// both files are given their final size (posix_fallocate) before the first
// rename and cut to the bytes stored at the end. A store is in the file's
// cache at once, so a kill leaves every row but the one of the rename in
// flight, as the writes do, without a system call per row.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
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

// A row: verdict, both names and time columns of the tool's width.
constexpr char kRow[] = "OK,%s,%s,2024/01/01,00:00:00:00\n";
constexpr std::size_t kWindow = 1 << 20;

// The length of a row: the format less its two "%s", and the names.
std::size_t RowLength(std::size_t before, std::size_t after) { return sizeof kRow - 1 - 4 + before + after; }

// A log file: written a row at a time, or stored through a window of a shared
// mapping of it that slides along. No file: no log.
struct Log {
  int fd = -1;
  bool mapped = false;
  off_t size = 0;    // allocated
  off_t stored = 0;  // bytes stored
  off_t windowStart = 0;
  off_t windowEnd = 0;
  char* window = nullptr;
};

Log OpenLog(const char* name) {
  const int fd = open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) std::exit(3);
  return Log{fd};
}

Log OpenMappedLog(const char* name, off_t size) {
  Log log = OpenLog(name);
  log.mapped = true;
  log.size = size;
  if (posix_fallocate(log.fd, 0, size) != 0) std::exit(3);
  return log;
}

// A row that runs past the window's end moves the window on to the page it
// starts in; what lies behind is unmapped.
void Store(Log& log, const char* row, std::size_t length) {
  if (log.stored + static_cast<off_t>(length) > log.windowEnd) {
    if (log.window != nullptr) munmap(log.window, static_cast<std::size_t>(log.windowEnd - log.windowStart));
    const off_t page = sysconf(_SC_PAGESIZE);
    log.windowStart = log.stored / page * page;
    log.windowEnd = std::min<off_t>(log.windowStart + kWindow, log.size);
    if (log.stored + static_cast<off_t>(length) > log.windowEnd) std::exit(3);
    void* window = mmap(nullptr, static_cast<std::size_t>(log.windowEnd - log.windowStart), PROT_READ | PROT_WRITE,
                        MAP_SHARED, log.fd, log.windowStart);
    if (window == MAP_FAILED) std::exit(3);
    log.window = static_cast<char*>(window);
  }
  std::memcpy(log.window + (log.stored - log.windowStart), row, length);
  log.stored += static_cast<off_t>(length);
}

// One row, kept as soon as its rename is done.
void Keep(Log& log, const char* before, const char* after) {
  if (log.fd < 0) return;
  char row[128];
  const int length = std::snprintf(row, sizeof row, kRow, before, after);
  if (log.mapped) {
    Store(log, row, static_cast<std::size_t>(length));
  } else if (write(log.fd, row, static_cast<std::size_t>(length)) != length) {
    std::exit(3);
  }
}

// Puts what the log holds so far on the disk.
void Sync(Log& log) {
  if (log.fd < 0) return;
  if (log.window != nullptr && msync(log.window, static_cast<std::size_t>(log.windowEnd - log.windowStart), MS_SYNC) != 0) {
    std::exit(3);
  }
  if (fdatasync(log.fd) != 0) std::exit(3);
}

void SyncFolder() {
  const int fd = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) std::exit(3);
  close(fd);
}

void CloseLog(Log& log) {
  if (log.fd < 0) return;
  if (log.window != nullptr) munmap(log.window, static_cast<std::size_t>(log.windowEnd - log.windowStart));
  if (log.mapped && ftruncate(log.fd, log.stored) != 0) std::exit(3);
  close(log.fd);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view mode = argc > 1 ? argv[1] : "";
  const bool durableLog = mode == "--durable-log";
  // --barrier-log: the mapped logs, made durable before the first rename,
  // between the phases and at the end, as the tool does.
  const bool barriers = mode == "--barrier-log";
  const bool mappedLog = mode == "--mapped-log" || barriers;
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
  char target[] = "G0000000.pcx";
  const std::size_t targetLength = sizeof target - 1;
  int failures = 0;
  Log processLog;
  Log resultLog;
  if (durableLog) processLog = OpenLog("VeltraskoAll_baseline.csv");
  if (mappedLog) {
    // Every row's length is known before the first rename.
    std::size_t processSize = 0;
    std::size_t resultSize = 0;
    for (const Shot& shot : shots) {
      const std::size_t name = std::strlen(shot.name);
      const std::size_t tempName = static_cast<std::size_t>(prefixLength) + name;
      processSize += RowLength(name, tempName) + RowLength(tempName, targetLength);
      resultSize += RowLength(name, targetLength);
    }
    processLog = OpenMappedLog("VeltraskoAll_baseline.csv", static_cast<off_t>(processSize));
    resultLog = OpenMappedLog("VeltraskoLog_baseline.csv", static_cast<off_t>(resultSize));
  }
  if (barriers) {
    Sync(processLog);
    Sync(resultLog);
    SyncFolder();
  }
  for (const Shot& shot : shots) {
    std::memcpy(temp + prefixLength, shot.name, sizeof shot.name);
    failures += renameat2(AT_FDCWD, shot.name, AT_FDCWD, temp, RENAME_NOREPLACE) != 0;
    Keep(processLog, shot.name, temp);
  }
  if (durableLog) resultLog = OpenLog("VeltraskoLog_baseline.csv");
  if (barriers) {
    Sync(processLog);
    SyncFolder();
  }
  for (std::size_t i = 0; i < shots.size(); ++i) {
    std::memcpy(temp + prefixLength, shots[i].name, sizeof shots[i].name);
    std::size_t position = i;
    for (int digit = 7; digit >= 1; --digit, position /= 10) target[digit] = static_cast<char>('0' + position % 10);
    failures += renameat2(AT_FDCWD, temp, AT_FDCWD, target, RENAME_NOREPLACE) != 0;
    Keep(resultLog, shots[i].name, target);
    Keep(processLog, temp, target);
  }
  if (barriers) {
    // Cut to their rows first, as the tool does, so the sizes are kept too.
    for (Log* log : {&resultLog, &processLog}) {
      if (log->window != nullptr) munmap(log->window, static_cast<std::size_t>(log->windowEnd - log->windowStart));
      log->window = nullptr;
      if (ftruncate(log->fd, log->stored) != 0) std::exit(3);
      log->mapped = false;
      Sync(*log);
    }
    SyncFolder();
  }
  CloseLog(resultLog);
  CloseLog(processLog);
  return failures == 0 ? 0 : 2;
}
