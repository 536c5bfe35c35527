// Faults for the test build of the tool. At start-up this puts functions of
// its own into the system-call table (platform/syscalls.h): each does the real
// call, or fails the way the OS fails (a chosen errno or Win32 error), as
// SHOTRENUM_SEAM_* environment variables ask. The error mapping of the
// platform layer thus runs as it does when the OS itself fails.
//
// A fault's variable holds the occurrences of its call (counted from 1 over
// the whole run) at which it strikes: "N" the Nth, "N+" the Nth and every
// later one, and a comma-separated list of both ("2,5,9+").
//   SEARCH_FAIL    a directory search cannot start (no access)
//   LISTING_FAIL   a read of a started listing fails (an I/O error)
//   STAT_FAIL      reading an entry's times fails with EIO (POSIX)
//   RENAME_FAIL    a rename fails (no access) and touches nothing
//   DIE_AFTER_RENAME the process is killed right after a rename that was
//                  made (counted among the renames made)
//   NO_NOREPLACE   the file system knows no no-replace rename (POSIX)
//   NO_LINK        the file system knows no hard links (POSIX)
//   DIE_AFTER_LINK the process is killed right after a link (POSIX)
//   UNLINK_FAIL    an unlink fails (POSIX)
//   LOG_WRITE_FAIL a write to a log or to standard output fails: a full disk,
//                  which has no room for a log's allocation either (set at
//                  all, it makes every allocation fail, so the logs are
//                  written a row at a time and these writes are counted)
//   CLOSE_FAIL     closing a log reports a failure after the close
//   CLOCK_SKIPS    a sleep ends at once, the clock jumping over its length
//   CUT_PROCESS_LOG "N:LENGTH" (POSIX) another program cuts the process log
//                  to LENGTH bytes ("half": half its size) right after the
//                  Nth window of a process log is mapped, so that the next
//                  store into it falls past the file's end
// Conditions rather than faults:
//   SHOTRENUM_NO_MAPPING=1 (not a SEAM_ variable, so that the end-to-end
//                  suite's environment keeps it for every run of a test
//                  session) no file can be mapped, as on a file system
//                  without mmap: every log is written a row at a time
//   REPEAT "K"     every entry a listing gives comes K times (stands for a
//                  folder far larger than a test can make)
//   BEFORE_SEARCH "N:op:name;...", op "remove" or "create": changes the
//                  folder just before the Nth directory search starts, as
//                  another program could between the tool's two passes
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/syscalls.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace shotrenum {

namespace {

// A fault: the occurrences at which it strikes, and how many there were.
struct Fault {
  const char* list;  // nullptr: never
  long occurrences;
};

// Whether `occurrence` is in a list such as "2,5,9+".
bool Listed(const char* list, long occurrence) {
  for (;;) {
    char* end = nullptr;
    const long at = std::strtol(list, &end, 10);
    const bool orLater = *end == '+';
    if (at > 0 && (orLater ? occurrence >= at : occurrence == at)) return true;
    if (orLater) ++end;
    if (end == list || *end != ',') return false;
    list = end + 1;
  }
}

Fault FromEnvironment(const char* fault) {
  const std::string variable = std::string("SHOTRENUM_SEAM_") + fault;
  return Fault{std::getenv(variable.c_str()), 0};
}

// Counts one more occurrence of the fault's call; whether the fault strikes.
bool Strikes(Fault& fault) {
  ++fault.occurrences;
  return fault.list != nullptr && Listed(fault.list, fault.occurrences);
}

Fault searchFail, listingFail, statFail, renameFail, dieAfterRename, noReplace, noLink, dieAfterLink, unlinkFail,
    logWriteFail, closeFail, clockSkips;
bool noMapping = false;  // SHOTRENUM_NO_MAPPING
long repeat = 1;    // REPEAT
long searches = 0;  // directory searches started so far
long repeatsLeft = 0;

void ReadFaults() {
  searchFail = FromEnvironment("SEARCH_FAIL");
  listingFail = FromEnvironment("LISTING_FAIL");
  statFail = FromEnvironment("STAT_FAIL");
  renameFail = FromEnvironment("RENAME_FAIL");
  dieAfterRename = FromEnvironment("DIE_AFTER_RENAME");
  noReplace = FromEnvironment("NO_NOREPLACE");
  noLink = FromEnvironment("NO_LINK");
  dieAfterLink = FromEnvironment("DIE_AFTER_LINK");
  unlinkFail = FromEnvironment("UNLINK_FAIL");
  logWriteFail = FromEnvironment("LOG_WRITE_FAIL");
  closeFail = FromEnvironment("CLOSE_FAIL");
  clockSkips = FromEnvironment("CLOCK_SKIPS");
  if (const char* value = std::getenv("SHOTRENUM_SEAM_REPEAT")) repeat = std::strtol(value, nullptr, 10);
  const char* unmapped = std::getenv("SHOTRENUM_NO_MAPPING");
  noMapping = unmapped != nullptr && std::strcmp(unmapped, "1") == 0;
}

// A disk too full for a log's allocation.
bool DiskFull() { return logWriteFail.list != nullptr; }

// As sudden as a kill: no buffer is flushed, nothing else runs.
void DieAfter(Fault& fault) {
  if (Strikes(fault)) std::_Exit(137);
}

// Counts a search about to start and makes the changes BEFORE_SEARCH asks
// for just before it.
void SearchStarts() {
  ++searches;
  repeatsLeft = 0;
  const char* changes = std::getenv("SHOTRENUM_SEAM_BEFORE_SEARCH");
  if (changes == nullptr) return;
  std::string all(changes);
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find(';', start);
    if (end == std::string::npos) end = all.size();
    const std::string item = all.substr(start, end - start);
    start = end + 1;
    const std::size_t colon1 = item.find(':');
    const std::size_t colon2 = item.find(':', colon1 + 1);
    if (colon1 == std::string::npos || colon2 == std::string::npos) continue;
    if (std::atol(item.substr(0, colon1).c_str()) != searches) continue;
    const std::string op = item.substr(colon1 + 1, colon2 - colon1 - 1);
    const std::string name = item.substr(colon2 + 1);
    if (op == "remove") {
      std::remove(name.c_str());
    } else if (op == "create") {
      if (std::FILE* f = std::fopen(name.c_str(), "wb")) std::fclose(f);
    }
  }
}

Syscalls real;  // the table as the platform file filled it

// The C runtime's write, whose types differ between the two OSes.
template <typename Length>
auto Write(int fd, const void* bytes, Length length) -> decltype(real.write(fd, bytes, length)) {
  if (Strikes(logWriteFail)) {
    errno = ENOSPC;
    return -1;
  }
  return real.write(fd, bytes, length);
}

int Close(std::FILE* file) {
  const int result = real.fclose(file);
  if (!Strikes(closeFail)) return result;
  errno = EIO;
  return EOF;
}

#if defined(_WIN32)

__time64_t skew = 0;  // seconds the clock jumped (CLOCK_SKIPS)
DWORD skewRemainder = 0;

HANDLE WINAPI FindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
  SearchStarts();
  if (Strikes(searchFail)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const HANDLE search = real.FindFirstFileA(pattern, data);
  if (search != INVALID_HANDLE_VALUE) repeatsLeft = repeat - 1;
  return search;
}

// A repeated entry is the one the caller's buffer still holds.
BOOL WINAPI FindNext(HANDLE search, LPWIN32_FIND_DATAA data) {
  if (Strikes(listingFail)) {
    SetLastError(ERROR_UNEXP_NET_ERR);
    return FALSE;
  }
  if (repeatsLeft > 0) {
    --repeatsLeft;
    return TRUE;
  }
  const BOOL found = real.FindNextFileA(search, data);
  if (found) repeatsLeft = repeat - 1;
  return found;
}

BOOL WINAPI Move(LPCSTR from, LPCSTR to, DWORD flags) {
  if (Strikes(renameFail)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const BOOL moved = real.MoveFileExA(from, to, flags);
  if (moved) DieAfter(dieAfterRename);
  return moved;
}

// A full disk lets a file be cut, never grown.
BOOL WINAPI SetEnd(HANDLE file) {
  LARGE_INTEGER size;
  LARGE_INTEGER end;
  if (DiskFull() && GetFileSizeEx(file, &size) && SetFilePointerEx(file, LARGE_INTEGER{}, &end, FILE_CURRENT) &&
      end.QuadPart > size.QuadPart) {
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  return real.SetEndOfFile(file);
}

HANDLE WINAPI CreateMapping(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                            LPCWSTR name) {
  if (noMapping) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return real.CreateFileMappingW(file, attributes, protect, sizeHigh, sizeLow, name);
}

void WINAPI SleepSkipping(DWORD milliseconds) {
  if (!Strikes(clockSkips)) return real.Sleep(milliseconds);
  skewRemainder += milliseconds;
  skew += skewRemainder / 1000;
  skewRemainder %= 1000;
}

__time64_t Time(__time64_t* out) {
  const __time64_t now = real.time64(nullptr) + skew;
  if (out != nullptr) *out = now;
  return now;
}

void Install() {
  syscalls.FindFirstFileA = FindFirst;
  syscalls.FindNextFileA = FindNext;
  syscalls.MoveFileExA = Move;
  syscalls.SetEndOfFile = SetEnd;
  syscalls.CreateFileMappingW = CreateMapping;
  syscalls.write = Write<unsigned>;
  syscalls.fclose = Close;
  syscalls.Sleep = SleepSkipping;
  syscalls.time64 = Time;
}

#else

timespec skew{0, 0};  // how far the clock jumped (CLOCK_SKIPS)
dirent* last = nullptr;

DIR* OpenDir(const char* name) {
  SearchStarts();
  last = nullptr;
  if (Strikes(searchFail)) {
    errno = EACCES;
    return nullptr;
  }
  return real.opendir(name);
}

dirent* ReadDir(DIR* dir) {
  if (Strikes(listingFail)) {
    errno = EIO;
    return nullptr;
  }
  if (last != nullptr && repeatsLeft > 0) {
    --repeatsLeft;
    return last;
  }
  last = real.readdir(dir);
  // "." and ".." are no screenshots: only the others come again.
  const bool dots = last != nullptr && last->d_name[0] == '.';
  repeatsLeft = last != nullptr && !dots ? repeat - 1 : 0;
  return last;
}

int StatAt(int dirfd, const char* name, struct stat* st, int flags) {
  if (Strikes(statFail)) {
    errno = EIO;
    return -1;
  }
  return real.fstatat(dirfd, name, st, flags);
}

int RenameAt2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  if (Strikes(renameFail)) {
    errno = EACCES;
    return -1;
  }
  if (Strikes(noReplace)) {
    errno = EINVAL;
    return -1;
  }
  const int result = real.renameat2(fromDir, from, toDir, to, flags);
  if (result == 0) DieAfter(dieAfterRename);
  return result;
}

int Link(const char* from, const char* to) {
  if (Strikes(noLink)) {
    errno = EPERM;
    return -1;
  }
  const int result = real.link(from, to);
  if (result == 0) DieAfter(dieAfterLink);
  return result;
}

int Fallocate(int fd, int mode, off_t offset, off_t length) {
  if (DiskFull()) {
    errno = ENOSPC;
    return -1;
  }
  return real.fallocate(fd, mode, offset, length);
}

long processWindows = 0;  // windows of process logs mapped so far

// Whether `fd` is open on a process log.
bool OnProcessLog(int fd) {
  char link[64];
  char target[4096];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return false;
  target[length] = '\0';
  return std::strstr(target, "VeltraskoAll_") != nullptr;
}

// CUT_PROCESS_LOG: the cut another program makes.
void CutProcessLog(int fd) {
  const char* cut = std::getenv("SHOTRENUM_SEAM_CUT_PROCESS_LOG");
  if (cut == nullptr || !OnProcessLog(fd) || std::atol(cut) != ++processWindows) return;
  const char* length = std::strchr(cut, ':');
  if (length == nullptr) return;
  struct stat st;
  if (real.fstat(fd, &st) != 0) return;
  const off_t to = std::strcmp(length + 1, "half") == 0 ? st.st_size / 2 : std::atol(length + 1);
  if (real.ftruncate(fd, to) != 0) std::_Exit(99);
}

void* Mmap(void* address, std::size_t length, int protection, int flags, int fd, off_t offset) {
  if (noMapping && fd >= 0) {
    errno = ENODEV;
    return MAP_FAILED;
  }
  void* mapped = real.mmap(address, length, protection, flags, fd, offset);
  if (mapped != MAP_FAILED && fd >= 0) CutProcessLog(fd);
  return mapped;
}

int Unlink(const char* name) {
  if (Strikes(unlinkFail)) {
    errno = EACCES;
    return -1;
  }
  return real.unlink(name);
}

int ClockGetTime(clockid_t clock, timespec* now) {
  const int result = real.clock_gettime(clock, now);
  now->tv_sec += skew.tv_sec;
  now->tv_nsec += skew.tv_nsec;
  if (now->tv_nsec >= 1000000000L) {
    now->tv_nsec -= 1000000000L;
    ++now->tv_sec;
  }
  return result;
}

int NanoSleep(const timespec* length, timespec* rest) {
  if (!Strikes(clockSkips)) return real.nanosleep(length, rest);
  skew.tv_sec += length->tv_sec;
  skew.tv_nsec += length->tv_nsec;
  if (skew.tv_nsec >= 1000000000L) {
    skew.tv_nsec -= 1000000000L;
    ++skew.tv_sec;
  }
  return 0;
}

void Install() {
  syscalls.opendir = OpenDir;
  syscalls.readdir = ReadDir;
  syscalls.fstatat = StatAt;
  syscalls.renameat2 = RenameAt2;
  syscalls.link = Link;
  syscalls.fallocate = Fallocate;
  syscalls.mmap = Mmap;
  syscalls.unlink = Unlink;
  syscalls.write = Write<std::size_t>;
  syscalls.fclose = Close;
  syscalls.clock_gettime = ClockGetTime;
  syscalls.nanosleep = NanoSleep;
}

#endif

// Before main: the table holds the real calls from the start (it is
// constant-initialized), so they can be saved here.
const bool installed = [] {
  real = syscalls;
  ReadFaults();
  Install();
  return true;
}();

}  // namespace

}  // namespace shotrenum
