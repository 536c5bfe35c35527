// The platform layer on Linux and other POSIX systems.
#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/filetime.h"
#include "platform/platform.h"
#include "platform/syscalls.h"

namespace shotrenum {

// The real calls. The lambdas stand for calls whose C declaration takes
// variable arguments.
Syscalls syscalls = {
    .opendir = opendir,
    .readdir = readdir,
    .fstatat = fstatat,
    .renameat2 = renameat2,
    .rename = std::rename,
    .link = link,
    .unlink = unlink,
    .flock = flock,
    .open = [](const char* name, int flags, mode_t mode) { return open(name, flags, mode); },
    .close = close,
    .write = write,
    .fclose = std::fclose,
    .fstat = fstat,
    .chdir = chdir,
    .fchdir = fchdir,
    .clock_gettime = clock_gettime,
    .nanosleep = nanosleep,
    .fallocate = fallocate,
    .mmap = mmap,
    .munmap = munmap,
    .ftruncate = ftruncate,
    .lseek = lseek,
    .futimens = futimens,
    .msync = msync,
    .fdatasync = fdatasync,
    .fsync = fsync,
    .sigaction = sigaction,
    .faccessat = faccessat,
};

// ---- One run per folder -----------------------------------------------------

namespace {

int folderLock = -1;  // the current directory, open and locked

}  // namespace

// flock on the directory itself: no lock file in the user's folder, and the
// kernel drops the lock when the process ends, however it ends.
FolderLock LockFolder() {
  const int fd = syscalls.open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return FolderLock::kUnsupported;
  if (syscalls.flock(fd, LOCK_EX | LOCK_NB) == 0) {
    folderLock = fd;
    return FolderLock::kHeld;
  }
  const bool busy = errno == EWOULDBLOCK;
  syscalls.close(fd);
  return busy ? FolderLock::kBusy : FolderLock::kUnsupported;
}

void UnlockFolder() {
  if (folderLock >= 0) syscalls.close(folderLock);
  folderLock = -1;
}

// ---- Directory search -------------------------------------------------------

struct FolderSearch {
  DIR* dir;
  std::string pattern;
  const dirent* entry;  // the entry last delivered, if any
  bool statDone;        // statResult is known (and st holds it when kRead)
  bool loops;           // a symbolic link that leads round in a loop
  EntryTime statResult;
  struct stat st;
};

namespace {

// Stats the current entry, following a symbolic link; a dangling link is
// taken as itself, and a link in a loop noted. Only "no such entry" means
// the entry went since it was listed; any other failure (EIO, EACCES)
// leaves its time unknown. Done at most once per entry.
EntryTime EntryStat(FolderSearch* search) {
  if (!search->statDone) {
    const int fd = dirfd(search->dir);
    const char* name = search->entry->d_name;
    int result = syscalls.fstatat(fd, name, &search->st, 0);
    search->loops = result != 0 && errno == ELOOP;
    if (result != 0 && (errno == ENOENT || errno == ELOOP)) {
      result = syscalls.fstatat(fd, name, &search->st, AT_SYMLINK_NOFOLLOW);
    }
    search->statResult = result == 0 ? EntryTime::kRead : errno == ENOENT ? EntryTime::kVanished : EntryTime::kFailed;
    search->statDone = true;
  }
  return search->statResult;
}

}  // namespace

// opendir tells no "nothing matches": an empty listing is read to its end.
SearchStart StartFolderSearch(const char* pattern, FolderSearch** search) {
  DIR* dir = syscalls.opendir(".");
  if (dir == nullptr) return SearchStart::kFailed;
  *search = new FolderSearch{};
  (*search)->dir = dir;
  (*search)->pattern = pattern;
  return SearchStart::kStarted;
}

ListingStep NextFolderEntry(FolderSearch* search, FolderEntry* entry) {
  const dirent* next;
  do {
    // readdir tells its end from a failure only through errno.
    errno = 0;
    next = syscalls.readdir(search->dir);
    if (next == nullptr) return errno == 0 ? ListingStep::kEnd : ListingStep::kFailed;
  } while (!MatchesPattern(next->d_name, search->pattern.c_str()));
  search->entry = next;
  search->statDone = false;
  entry->name = search->entry->d_name;
  switch (search->entry->d_type) {
    case DT_DIR:
      entry->isDirectory = true;
      break;
    case DT_LNK:
    case DT_UNKNOWN:
      // An entry whose stat fails is taken as a file here; reading its time
      // then reports the failure. A link in a loop leads to no file: no
      // screenshot, like a link to a folder.
      entry->isDirectory = EntryStat(search) == EntryTime::kRead && (S_ISDIR(search->st.st_mode) || search->loops);
      break;
    default:
      entry->isDirectory = false;
  }
  return ListingStep::kEntry;
}

EntryTime FolderEntryTime(FolderSearch* search, FILETIME* writeTime, bool* empty) {
  const EntryTime result = EntryStat(search);
  if (result == EntryTime::kRead) {
    *writeTime = FileTimeFromUnix(search->st.st_mtim.tv_sec, search->st.st_mtim.tv_nsec);
    *empty = S_ISREG(search->st.st_mode) && search->st.st_size == 0;
  }
  return result;
}

bool FolderEntryLinked(FolderSearch* search, FileIdentity* identity) {
  // Nearly every file has one name: only those with more are asked again,
  // without following a symbolic link.
  if (EntryStat(search) != EntryTime::kRead || search->st.st_nlink <= 1) return false;
  struct stat own;
  if (syscalls.fstatat(dirfd(search->dir), search->entry->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0 ||
      !S_ISREG(own.st_mode) || own.st_nlink <= 1) {
    return false;
  }
  *identity = FileIdentity{static_cast<std::uint64_t>(own.st_dev), static_cast<std::uint64_t>(own.st_ino)};
  return true;
}

void EndFolderSearch(FolderSearch* search) {
  closedir(search->dir);
  delete search;
}

// ---- Renaming ----------------------------------------------------------------

namespace {

// The errors of a file system that does not know the call (or its flag).
bool Unsupported(int error) { return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP; }

// For a file system with neither no-replace renames nor links: `to` is
// created empty, exclusively, and the rename replaces only that reservation,
// never anything this call did not just create.
bool RenameOverReservation(const char* from, const char* to) {
  const int fd = syscalls.open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  syscalls.close(fd);
  if (syscalls.rename(from, to) == 0) return true;
  const int error = errno;
  syscalls.unlink(to);
  errno = error;
  return false;
}

bool Rename(const char* from, const char* to) {
  if (syscalls.renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  // Only a file system without the flag gets a fallback; any other error is a
  // failed rename. A plain rename would replace `to`, so never that alone.
  if (!Unsupported(errno)) return false;
  // link() fails when `to` exists, so this never replaces anything either.
  if (syscalls.link(from, to) == 0) {
    if (syscalls.unlink(from) == 0) return true;
    const int error = errno;
    syscalls.unlink(to);  // both names are the same file: drop the new one again
    errno = error;
    return false;
  }
  // FAT and exFAT know no links (EPERM).
  if (errno != EPERM && !Unsupported(errno)) return false;
  return RenameOverReservation(from, to);
}

bool LinkStat(const char* name, struct stat* st) {
  return syscalls.fstatat(AT_FDCWD, name, st, AT_SYMLINK_NOFOLLOW) == 0;
}

// What the error of a failed rename tells the user. Nothing here holds a
// file the way Windows programs do.
RenameResult RenameFailure(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return RenameResult::kDenied;
    case ENOSPC:
    case EDQUOT:
      return RenameResult::kNoSpace;
    case EEXIST:
    case ENOTEMPTY:
    case EISDIR:
      return RenameResult::kTaken;
    default:
      return RenameResult::kFailed;
  }
}

}  // namespace

RenameResult RenameWithoutReplace(const char* from, const char* to) {
  return Rename(from, to) ? RenameResult::kRenamed : RenameFailure(errno);
}

namespace {

// Whether two names of the current directory are names of one file (same
// device and inode, symbolic links not followed).
bool SameFile(const char* a, const char* b) {
  struct stat first;
  struct stat second;
  return LinkStat(a, &first) && LinkStat(b, &second) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

bool RemoveSecondName(const char* extra, const char* kept) {
  return SameFile(extra, kept) && syscalls.unlink(extra) == 0;
}

bool RemoveEmptyFile(const char* name) {
  struct stat st;
  return LinkStat(name, &st) && S_ISREG(st.st_mode) && st.st_size == 0 && syscalls.unlink(name) == 0;
}

// What a POSIX file system does; one that ignores case (FAT through a FUSE
// driver, a case-folding ext4 folder) refuses a rename onto a name that
// differs only in case, which the rename reports as a failure like any other.
bool NamesIgnoreCase() { return false; }

// Asked with the effective user's rights, as the renames will be made; root
// passes every permission bit, but not a read-only mount.
FolderWrite CanWriteFolder() {
  if (syscalls.faccessat(AT_FDCWD, ".", W_OK | X_OK, AT_EACCESS) == 0) return FolderWrite::kAllowed;
  return errno == EACCES || errno == EROFS || errno == EPERM ? FolderWrite::kDenied : FolderWrite::kUnknown;
}

// ---- Time ---------------------------------------------------------------------

namespace {

timespec Now() {
  timespec now;
  syscalls.clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

}  // namespace

std::int64_t CurrentRunStamp() { return Now().tv_sec; }

std::int64_t WaitForSecondAfter(std::int64_t second) {
  for (;;) {
    const timespec now = Now();
    if (now.tv_sec > second) return now.tv_sec;
    // Sleep to the next second's start (and check again: a signal may wake
    // this early).
    const timespec rest{0, 1000000000L - now.tv_nsec};
    syscalls.nanosleep(&rest, nullptr);
  }
}

bool LocalCalendarOfStamp(std::int64_t stamp, CalendarTime* out) {
  const std::time_t t = static_cast<std::time_t>(stamp);
  std::tm local;
  if (localtime_r(&t, &local) == nullptr) return false;
  *out =
      CalendarTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
  return true;
}

bool LocalCalendarOfFileTime(FILETIME fileTime, CalendarTime* out) {
  // The offset in force now: looked up again whenever the clock has moved on
  // to another second, as a zone's offset changes only on a second boundary.
  // A run logs thousands of rows a second, each of which would otherwise pay
  // for a full localtime_r.
  static bool known = false;
  static std::time_t offsetSecond = 0;
  static long offset = 0;
  const std::time_t now = Now().tv_sec;
  if (!known || now != offsetSecond) {
    std::tm local;
    if (localtime_r(&now, &local) == nullptr) return false;
    offset = local.tm_gmtoff;
    offsetSecond = now;
    known = true;
  }
  std::uint64_t shifted;
  if (!ShiftTicks(FileTimeTicks(fileTime), offset, &shifted)) return false;
  return CalendarOfTicks(shifted, out);
}

// ---- Standard streams -----------------------------------------------------------

void PrepareStandardStreams() {
  // Lowest first: open() takes the lowest free descriptor, which is then the
  // closed one being mended.
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF)
      syscalls.open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY, 0);
  }
  std::signal(SIGPIPE, SIG_IGN);
}

bool FileExists(const char* name) {
  struct stat st;
  return LinkStat(name, &st) && !S_ISDIR(st.st_mode);
}

std::FILE* CreateNewTextFile(const char* name) {
  // O_EXCL fails on any entry at the name, a symbolic link included. Opened
  // for reading as well: a shared writable mapping of it needs both.
  const int fd = syscalls.open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) syscalls.close(fd);
  return file;
}

bool WriteToFile(std::FILE* file, const char* bytes, std::size_t length) {
  // Whatever the stream still holds leaves first, so the bytes stay in order.
  if (std::fflush(file) != 0) return false;
  const int fd = fileno(file);
  while (length > 0) {
    const ssize_t written = syscalls.write(fd, bytes, length);
    if (written < 0 && errno == EINTR) continue;
    // A write that takes nothing would take nothing again.
    if (written <= 0) return false;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CloseFile(std::FILE* file) { return syscalls.fclose(file) == 0; }

// ---- Files stored through a shared mapping -----------------------------------

const char* TextLineEnd() { return "\n"; }

std::size_t MappingGranularity() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

FileStep AllocateFile(std::FILE* file, std::uint64_t size) {
  // The file system's own allocation, not posix_fallocate: where there is
  // none, glibc's stand-in writes a byte into every block, and a file system
  // without fallocate may keep no store made into a mapping either (a FUSE
  // FAT driver kept none of them, even after the process ended normally).
  // Such a file system says EOPNOTSUPP (EINVAL on older kernels); ENODEV or
  // ESPIPE is no regular file.
  if (syscalls.fallocate(fileno(file), 0, 0, static_cast<off_t>(size)) == 0) return FileStep::kDone;
  if (errno == ENOSPC || errno == EDQUOT) return FileStep::kNoSpace;
  if (Unsupported(errno) || errno == ENODEV || errno == ESPIPE) return FileStep::kUnsupported;
  return FileStep::kFailed;
}

namespace {

// The windows mapped now. A store into a page of one that another program
// cut off the end of its file raises SIGBUS; the handler puts a page of the
// process's own memory in its place, so the store completes and the command
// goes on, and marks the window cut for its writer to ask about. A log has
// one window at a time, and a command two logs.
struct WatchedWindow {
  char* volatile start;  // nullptr: a free slot
  volatile std::size_t length;
  volatile sig_atomic_t cut;
};
WatchedWindow watched[8];
bool busHandled = false;
struct sigaction busBefore;

// Puts a private page over the page of `at`: false when the system refuses.
bool ReplacePage(char* at) {
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  char* const start = reinterpret_cast<char*>(reinterpret_cast<std::uintptr_t>(at) & ~(page - 1));
  return syscalls.mmap(start, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == start;
}

void OnBusError(int signal, siginfo_t* info, void* context) {
  // Only a fault the kernel raised for a store into one of our windows (not
  // a SIGBUS another process sent) is ours.
  if (info->si_code > 0) {
    char* const at = static_cast<char*>(info->si_addr);
    for (WatchedWindow& w : watched) {
      char* const start = w.start;
      if (start == nullptr || at < start || at >= start + w.length) continue;
      if (!ReplacePage(at)) break;
      w.cut = 1;
      return;
    }
  }
  // Anything else is a real crash: it ends the process as it would have.
  // The signal is blocked while this runs, so the one raised here strikes as
  // soon as it returns, with whatever handler was there before (the default
  // one, as a rule).
  if ((busBefore.sa_flags & SA_SIGINFO) != 0 && busBefore.sa_sigaction != nullptr) {
    busBefore.sa_sigaction(signal, info, context);
    return;
  }
  syscalls.sigaction(SIGBUS, &busBefore, nullptr);
  raise(signal);
}

// The handler is set once, with the first window.
void HandleBusErrors() {
  if (busHandled) return;
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  busHandled = syscalls.sigaction(SIGBUS, &action, &busBefore) == 0;
}

// Starts watching a window; false when every slot is taken.
bool Watch(char* window, std::size_t length) {
  for (WatchedWindow& w : watched) {
    if (w.start != nullptr) continue;
    w.cut = 0;
    w.length = length;
    w.start = window;
    return true;
  }
  return false;
}

WatchedWindow* WatchOf(const char* window) {
  for (WatchedWindow& w : watched) {
    if (w.start == window) return &w;
  }
  return nullptr;
}

}  // namespace

FileStep MapFileWindow(std::FILE* file, std::uint64_t offset, std::size_t length, char** window) {
  HandleBusErrors();
  void* mapped =
      syscalls.mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fileno(file), static_cast<off_t>(offset));
  if (mapped != MAP_FAILED) {
    // A window the handler cannot watch is not used: a cut under it would
    // end the process.
    if (!busHandled || !Watch(static_cast<char*>(mapped), length)) {
      syscalls.munmap(mapped, length);
      return FileStep::kFailed;
    }
    *window = static_cast<char*>(mapped);
    return FileStep::kDone;
  }
  // ENODEV: a file system that cannot map (FUSE with direct I/O); EACCES: a
  // file that cannot be mapped writable (no regular file, append-only).
  return errno == ENODEV || errno == EACCES ? FileStep::kUnsupported : FileStep::kFailed;
}

FileStep UnmapFileWindow(char* window, std::size_t length) {
  const bool unmapped = syscalls.munmap(window, length) == 0;
  // Watched no more either way: a window that failed to unmap is never
  // stored into again.
  if (WatchedWindow* w = WatchOf(window)) w->start = nullptr;
  return unmapped ? FileStep::kDone : FileStep::kFailed;
}

bool FileWindowCut(const char* window) {
  const WatchedWindow* w = WatchOf(window);
  return w != nullptr && w->cut != 0;
}

FileStep FileSizeOf(std::FILE* file, std::uint64_t* size) {
  struct stat st;
  if (syscalls.fstat(fileno(file), &st) != 0) return FileStep::kFailed;
  *size = static_cast<std::uint64_t>(st.st_size);
  return FileStep::kDone;
}

FileStep EndFileAt(std::FILE* file, std::uint64_t length) {
  const int fd = fileno(file);
  const off_t end = static_cast<off_t>(length);
  // A file that ends there already is not cut: a file system without
  // fallocate may not cut files either (a FUSE FAT driver refuses with
  // EPERM), and its allocation failed without growing the file.
  struct stat st;
  if (syscalls.fstat(fd, &st) != 0 || (st.st_size != end && syscalls.ftruncate(fd, end) != 0) ||
      syscalls.lseek(fd, end, SEEK_SET) != end) {
    return FileStep::kFailed;
  }
  return FileStep::kDone;
}

// ---- Making what was written outlast a power cut ------------------------------

namespace {

// EROFS: a read-only mount; EINVAL and the rest: a file system that has no
// way to do it.
Durable DurableOfErrno(int error) {
  if (Unsupported(error) || error == EROFS) return Durable::kRefused;
  return Durable::kFailed;
}

}  // namespace

Durable MakeFileDurable(std::FILE* file, char* window, std::size_t length) {
  if (window != nullptr && syscalls.msync(window, length, MS_SYNC) != 0) return DurableOfErrno(errno);
  // The data and the size; a mapped store is in the page cache already,
  // which this writes back too.
  if (syscalls.fdatasync(fileno(file)) != 0) return DurableOfErrno(errno);
  return Durable::kDone;
}

Durable MakeFolderDurable() {
  const int fd = syscalls.open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return errno == EACCES ? Durable::kRefused : DurableOfErrno(errno);
  Durable result = Durable::kDone;
  if (syscalls.fsync(fd) != 0) result = DurableOfErrno(errno);
  syscalls.close(fd);
  return result;
}

// ---- Logs left by a killed command ------------------------------------------

FileStep CutFileKeepingTime(const char* name, std::uint64_t length) {
  // O_NOFOLLOW: a symbolic link named like a log is not cut, nor what it
  // points to. O_NONBLOCK: a FIFO never waits for a reader.
  const int fd = syscalls.open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  if (fd < 0) return FileStep::kFailed;
  struct stat st;
  const bool cut =
      syscalls.fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && syscalls.ftruncate(fd, static_cast<off_t>(length)) == 0;
  if (cut) {
    const timespec times[2] = {st.st_atim, st.st_mtim};
    syscalls.futimens(fd, times);
  }
  syscalls.close(fd);
  return cut ? FileStep::kDone : FileStep::kFailed;
}

bool RemoveRegularFile(const char* name) {
  struct stat st;
  return LinkStat(name, &st) && S_ISREG(st.st_mode) && syscalls.unlink(name) == 0;
}

// ---- Command line and folders ------------------------------------------------

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

std::string ProgramFileName(int argc, char** argv) {
  if (argc < 1 || argv[0] == nullptr) return "";
  return FileNameInPath(argv[0]);
}

bool SlashAsksForHelp() { return false; }

PathKind KindOfPath(const char* path) {
  struct stat st;
  if (syscalls.fstatat(AT_FDCWD, path, &st, 0) != 0) {
    // A dangling link or a missing part of the path: nothing to open there.
    return errno == ENOENT || errno == ENOTDIR ? PathKind::kMissing : PathKind::kUnreadable;
  }
  return S_ISDIR(st.st_mode) ? PathKind::kFolder : PathKind::kFile;
}

namespace {

// The directory the tool was started in, open, so that it can be returned to
// even when its path is long or has changed since.
int StartingFolder() {
  static const int fd = syscalls.open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  return fd;
}

}  // namespace

bool EnterFolder(const char* path) {
  const int start = StartingFolder();
  if (start < 0 || syscalls.fchdir(start) != 0) return false;
  return syscalls.chdir(path) == 0;
}

const char* FileNameInPath(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? path : slash + 1;
}

OpenForReading OpenFileForReading(const char* path, std::FILE** file) {
  // Not blocking: a FIFO named like a log would wait for a writer forever.
  const int fd = syscalls.open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? OpenForReading::kMissing : OpenForReading::kFailed;
  struct stat st;
  if (syscalls.fstat(fd, &st) != 0) {
    syscalls.close(fd);
    return OpenForReading::kFailed;
  }
  if (!S_ISREG(st.st_mode)) {
    syscalls.close(fd);
    return OpenForReading::kNotAFile;
  }
  *file = fdopen(fd, "rb");
  if (*file == nullptr) {
    syscalls.close(fd);
    return OpenForReading::kFailed;
  }
  return OpenForReading::kOpened;
}

// ---- Console -------------------------------------------------------------------

namespace {

// The name of the locale the environment sets for characters, looked up as
// the C library looks it up; "" for none.
std::string CharacterLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "";
}

// `charset` in capitals without separators, as iconv compares names.
std::string Normalized(const std::string& charset) {
  std::string normalized;
  for (const char c : charset) {
    if (c != '-' && c != '_') normalized += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return normalized;
}

// The character set the console gets the texts in. A locale whose name gives
// no character set (none at all, C, POSIX, or one like "ja_JP") says nothing
// about the terminal, and terminals today read UTF-8. Otherwise the locale's
// own: the one the C library gives it, or where the system lacks the locale,
// the one its name gives ("ja_JP.eucJP"). "" for Shift_JIS: the texts as they
// are.
std::string ConsoleCharset() {
  const std::string name = CharacterLocaleName();
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) return "UTF-8";
  std::string charset = name.substr(dot + 1, name.find('@', dot) - dot - 1);
  const std::string previous = std::setlocale(LC_CTYPE, nullptr);
  if (std::setlocale(LC_CTYPE, "") != nullptr) charset = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, previous.c_str());
  const std::string normalized = Normalized(charset);
  for (const char* shiftJis : {"SJIS", "SHIFTJIS", "CP932", "WINDOWS31J", "MSKANJI"}) {
    if (normalized == shiftJis) return "";
  }
  return charset;
}

// A converter from the texts' Shift_JIS to the console's character set;
// (iconv_t)-1 when they are that already. A character the console's set
// lacks (the Japanese in a Latin-1 locale) becomes "?"; a set iconv does not
// know gets UTF-8.
iconv_t ConsoleConverter() {
  static const iconv_t converter = [] {
    const std::string charset = ConsoleCharset();
    if (charset.empty()) return reinterpret_cast<iconv_t>(-1);
    const iconv_t result = iconv_open((charset + "//TRANSLIT").c_str(), "CP932");
    return result != reinterpret_cast<iconv_t>(-1) ? result : iconv_open("UTF-8", "CP932");
  }();
  return converter;
}

}  // namespace

namespace {

// Writes Shift_JIS text to `stream`, in the console's character set.
bool WriteShownText(std::FILE* stream, const char* text, std::size_t length) {
  const iconv_t converter = ConsoleConverter();
  if (converter == reinterpret_cast<iconv_t>(-1)) return std::fwrite(text, 1, length, stream) == length;
  // Shift_JIS needs at most 3 bytes of UTF-8 (or EUC-JP) per input byte.
  std::string out(length * 3 + 4, '\0');
  char* in = const_cast<char*>(text);
  std::size_t inLeft = length;
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  while (inLeft > 0) {
    if (iconv(converter, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
    // A byte the converter does not accept is passed on as it is.
    if (outLeft == 0) break;
    *outPtr++ = *in++;
    --inLeft;
    --outLeft;
  }
  const std::size_t converted = out.size() - outLeft;
  return std::fwrite(out.data(), 1, converted, stream) == converted;
}

}  // namespace

// A failed message has nowhere to be reported: it is dropped.
void WriteConsoleMessage(const char* text, std::size_t length) { WriteShownText(stderr, text, length); }

bool WriteStandardOutput(const char* text, std::size_t length) {
  return WriteShownText(stdout, text, length) && std::fflush(stdout) == 0;
}

// An argument is already in the user's own encoding.
void WriteConsoleArgument(const char* text, std::size_t length) { std::fwrite(text, 1, length, stderr); }

// ---- Pause ----------------------------------------------------------------------

// A key press can only come from a terminal: on anything else standard input
// is someone's data (a script's loop, a pipe), so there is no prompt and
// nothing is read.
void PauseForKey(const char* prompt) {
  std::fflush(stdout);
  termios saved;
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) return;
  WriteConsoleMessage(prompt, std::strlen(prompt));
  // One key, not one line, and no echo; Ctrl-C counts as a key too so the
  // terminal is always restored.
  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  char key;
  while (read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  std::fputc('\n', stderr);
}

// The pause above never writes to standard output.
void PauseAtConsole(const char* prompt) { PauseForKey(prompt); }

bool WindowClosesAtExit() { return false; }

bool UndoesByDrop() { return false; }

std::string QuotedForShell(const std::string& path) {
  // Letters, digits, these marks and any byte of a multibyte character stand
  // for themselves; anything else (a space, a quote, $, &, *, ...) has the
  // whole word put in single quotes, where only a single quote needs care.
  const auto plain = [](unsigned char c) {
    return c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           std::strchr("@%+=:,./-_", c) != nullptr;
  };
  if (!path.empty() &&
      std::all_of(path.begin(), path.end(), [&](char c) { return plain(static_cast<unsigned char>(c)); })) {
    return path;
  }
  std::string quoted = "'";
  for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace shotrenum
