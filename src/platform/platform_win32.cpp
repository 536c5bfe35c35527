// The platform layer on Windows (built with MinGW-w64, against msvcrt).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/filetime.h"
#include "platform/platform.h"
#include "platform/syscalls.h"

// ntdll's; MinGW-w64 declares it nowhere.
extern "C" LONG NTAPI RtlGetLastNtStatus();

namespace shotrenum {

// The real calls. The lambda stands for a call whose C declaration takes
// variable arguments.
Syscalls syscalls = {
    .FindFirstFileA = FindFirstFileA,
    .FindNextFileA = FindNextFileA,
    .MoveFileExA = MoveFileExA,
    .RtlGetLastNtStatus = RtlGetLastNtStatus,
    .CreateMutexW = CreateMutexW,
    .Sleep = Sleep,
    .GetCommandLineW = GetCommandLineW,
    .GetConsoleProcessList = GetConsoleProcessList,
    .CommandLineToArgvW = CommandLineToArgvW,
    .GetModuleFileNameW = GetModuleFileNameW,
    .GetFileAttributesA = GetFileAttributesA,
    .GetFileAttributesW = GetFileAttributesW,
    .GetFileAttributesExW = GetFileAttributesExW,
    .DeleteFileW = DeleteFileW,
    .GetCurrentDirectoryW = GetCurrentDirectoryW,
    .SetCurrentDirectoryW = SetCurrentDirectoryW,
    .open = [](const char* name, int flags, int mode) { return _open(name, flags, mode); },
    .write = _write,
    .fclose = std::fclose,
    .wfopen = _wfopen,
    .time64 = _time64,
    .GetFileInformationByHandle = GetFileInformationByHandle,
    .SetFilePointerEx = SetFilePointerEx,
    .SetEndOfFile = SetEndOfFile,
    .CreateFileMappingW = CreateFileMappingW,
    .MapViewOfFile = MapViewOfFile,
    .UnmapViewOfFile = UnmapViewOfFile,
    .CreateFileW = CreateFileW,
    .SetFileTime = SetFileTime,
    .FlushViewOfFile = FlushViewOfFile,
    .FlushFileBuffers = FlushFileBuffers,
};

namespace {

FILETIME FromWin32(const ::FILETIME& t) { return FILETIME{t.dwLowDateTime, t.dwHighDateTime}; }

::FILETIME ToWin32(FILETIME t) {
  ::FILETIME out;
  out.dwLowDateTime = t.dwLowDateTime;
  out.dwHighDateTime = t.dwHighDateTime;
  return out;
}

}  // namespace

// ---- One run per folder -----------------------------------------------------

namespace {

HANDLE folderMutex = nullptr;

// The folder's mutex is named after its path: the final one where Windows
// tells it (the same folder reached through another drive letter or an 8.3
// name is the same path then), upper-cased as Windows compares paths, and
// hashed, as an object's name may hold no backslash and only MAX_PATH
// characters. Local: a double-click and its twin run in one session.
bool FolderMutexName(wchar_t (&name)[40]) {
  static wchar_t path[32768];
  const DWORD room = sizeof path / sizeof path[0];
  DWORD length = 0;
  const HANDLE folder = CreateFileW(L".", FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder != INVALID_HANDLE_VALUE) {
    length = GetFinalPathNameByHandleW(folder, path, room, FILE_NAME_NORMALIZED);
    CloseHandle(folder);
  }
  if (length == 0 || length >= room) length = GetFullPathNameW(L".", room, path, nullptr);
  if (length == 0 || length >= room) return false;
  CharUpperBuffW(path, length);
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (DWORD i = 0; i < length; ++i) {
    hash ^= path[i];
    hash *= 1099511628211u;
  }
  const wchar_t prefix[] = L"Local\\shotrenum-";
  const int prefixLength = sizeof prefix / sizeof prefix[0] - 1;
  for (int i = 0; i < prefixLength; ++i) name[i] = prefix[i];
  for (int i = 0; i < 16; ++i) name[prefixLength + i] = L"0123456789abcdef"[hash >> (60 - 4 * i) & 0xF];
  name[prefixLength + 16] = L'\0';
  return true;
}

}  // namespace

namespace {

// How long a run may still wait for files that other programs hold (see
// RenameWithoutReplace).
constexpr DWORD kRunWaitMs = 10000;
DWORD runWaitLeft = kRunWaitMs;

}  // namespace

// A named mutex: Windows releases it when its owner ends, however it ends (a
// later wait then reports it abandoned, and owns it).
FolderLock LockFolder() {
  // Each run claims its folder first: its waiting time starts afresh here.
  runWaitLeft = kRunWaitMs;
  wchar_t name[40];
  if (!FolderMutexName(name)) return FolderLock::kUnsupported;
  const HANDLE mutex = syscalls.CreateMutexW(nullptr, FALSE, name);
  if (mutex == nullptr) return FolderLock::kUnsupported;
  const DWORD waited = WaitForSingleObject(mutex, 0);
  if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
    folderMutex = mutex;
    return FolderLock::kHeld;
  }
  CloseHandle(mutex);
  return waited == WAIT_TIMEOUT ? FolderLock::kBusy : FolderLock::kUnsupported;
}

void UnlockFolder() {
  if (folderMutex == nullptr) return;
  ReleaseMutex(folderMutex);
  CloseHandle(folderMutex);
  folderMutex = nullptr;
}

// ---- Directory search -------------------------------------------------------

struct FolderSearch {
  HANDLE handle;
  WIN32_FIND_DATAA data;
  bool firstPending;  // data holds the entry FindFirstFileA found, not yet delivered
};

namespace {

// A symbolic link to a file: the listing describes the link itself.
bool IsFileSymlink(const WIN32_FIND_DATAA& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.dwReserved0 == IO_REPARSE_TAG_SYMLINK;
}

// The last-write time of what a symbolic link points to; false when it points
// nowhere (or nowhere this process may look).
bool LinkTargetWriteTime(const char* name, ::FILETIME* writeTime) {
  const HANDLE file = CreateFileA(name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = GetFileTime(file, nullptr, nullptr, writeTime) != 0;
  CloseHandle(file);
  return ok;
}

}  // namespace

// The search matches the Win32 way: without regard to case, and against the
// short 8.3 names as well; the callers' name rules drop whatever else comes
// back.
SearchStart StartFolderSearch(const char* pattern, FolderSearch** search) {
  auto* started = new FolderSearch{};
  started->handle = syscalls.FindFirstFileA(pattern, &started->data);
  if (started->handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    delete started;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? SearchStart::kNothing : SearchStart::kFailed;
  }
  started->firstPending = true;
  *search = started;
  return SearchStart::kStarted;
}

ListingStep NextFolderEntry(FolderSearch* search, FolderEntry* entry) {
  if (search->firstPending) {
    search->firstPending = false;
  } else if (!syscalls.FindNextFileA(search->handle, &search->data)) {
    return GetLastError() == ERROR_NO_MORE_FILES ? ListingStep::kEnd : ListingStep::kFailed;
  }
  entry->name = search->data.cFileName;
  entry->isDirectory = (search->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return ListingStep::kEntry;
}

// The listing carries the time, so an entry that vanished since is not noticed
// here; its rename fails later instead.
EntryTime FolderEntryTime(FolderSearch* search, FILETIME* writeTime, bool* empty) {
  ::FILETIME time = search->data.ftLastWriteTime;
  if (IsFileSymlink(search->data)) {
    // A dangling link keeps its own time.
    LinkTargetWriteTime(search->data.cFileName, &time);
  }
  *writeTime = FromWin32(time);
  *empty = search->data.nFileSizeHigh == 0 && search->data.nFileSizeLow == 0;
  return EntryTime::kRead;
}

bool FolderEntryLinked(FolderSearch*, FileIdentity*) { return false; }

void EndFolderSearch(FolderSearch* search) {
  FindClose(search->handle);
  delete search;
}

// ---- Renaming ----------------------------------------------------------------

namespace {

constexpr LONG kStatusDeletePending = static_cast<LONG>(0xC0000056);

// Whether a move failed only because another program has the file open: it
// opened it without sharing (a viewer, a virus scanner, a sync client), or
// locked part of it. A file whose deletion is pending (its deleter still
// holds it open) fails with ERROR_ACCESS_DENIED, which a missing permission
// gives too, and waiting never mends that; the NT status behind the error
// tells the two apart.
bool HeldByAnother(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         (error == ERROR_ACCESS_DENIED && syscalls.RtlGetLastNtStatus() == kStatusDeletePending);
}

// What the error of a failed move tells the user, once waiting is over.
RenameResult MoveFailure(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return RenameResult::kDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return RenameResult::kNoSpace;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return RenameResult::kTaken;
    default:
      return RenameResult::kFailed;
  }
}

}  // namespace

// Without MOVEFILE_REPLACE_EXISTING the move never replaces: it fails when
// `to` exists, be it a file or a directory, on every file system Windows
// writes (FAT and exFAT included). A held file is tried again after 10 ms,
// then after twice the wait before, as long as the file's 2 s and the run's
// time allow: most holds (a scanner's look at a new file) last a moment.
RenameResult RenameWithoutReplace(const char* from, const char* to) {
  DWORD fileWaitLeft = 2000;
  for (DWORD wait = 10;; wait *= 2) {
    if (syscalls.MoveFileExA(from, to, 0)) return RenameResult::kRenamed;
    const DWORD error = GetLastError();
    if (!HeldByAnother(error)) return MoveFailure(error);
    const DWORD next = std::min({wait, fileWaitLeft, runWaitLeft});
    if (next == 0) return RenameResult::kHeld;
    syscalls.Sleep(next);
    fileWaitLeft -= next;
    runWaitLeft -= next;
  }
}

// No rename here makes a second name.
bool RemoveSecondName(const char*, const char*) { return false; }

bool NamesIgnoreCase() { return true; }

// A folder's read-only attribute says nothing of its files on Windows, and
// only trying tells what the access lists allow: a preview does not try.
FolderWrite CanWriteFolder() { return FolderWrite::kUnknown; }

// ---- Time ---------------------------------------------------------------------

std::int64_t CurrentRunStamp() { return static_cast<std::int64_t>(syscalls.time64(nullptr)); }

std::int64_t WaitForSecondAfter(std::int64_t second) {
  for (;;) {
    const std::int64_t now = CurrentRunStamp();
    if (now > second) return now;
    syscalls.Sleep(10);
  }
}

// FileTimeToLocalFileTime applies the bias in force now, as the header asks,
// but adds it without any check: from 2^63 up a time east of UTC could wrap
// round to a small one with a date, so such times are refused first. A result
// that wraps below 1601 or reaches 2^63 has no SYSTEMTIME, and the second call
// refuses it.
bool LocalCalendarOfFileTime(FILETIME fileTime, CalendarTime* out) {
  if (FileTimeTicks(fileTime) >= kFirstUndatedTicks) return false;
  const ::FILETIME utc = ToWin32(fileTime);
  ::FILETIME local;
  SYSTEMTIME fields;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &fields)) return false;
  *out = CalendarTime{fields.wYear,   fields.wMonth,  fields.wDay,         fields.wHour,
                      fields.wMinute, fields.wSecond, fields.wMilliseconds};
  return true;
}

// The run stamp is now, so the bias in force now is also the one of its date.
// It goes through the same Win32 conversion as the file times rather than the
// C runtime's _localtime64_s: that one obeys a TZ variable in its own format
// whenever one is set, and a POSIX one such as "Asia/Tokyo" (which Wine passes
// on from Linux) it reads as UTC; the log name would then disagree with the
// times inside the log.
bool LocalCalendarOfStamp(std::int64_t stamp, CalendarTime* out) {
  return LocalCalendarOfFileTime(FileTimeFromUnix(stamp, 0), out);
}

// ---- Standard streams -----------------------------------------------------------

// The C runtime keeps descriptors 0 to 2 for the standard streams even when
// the process was started without a standard handle (writes to them then
// fail), so no file the tool opens lands on one; and Windows has no SIGPIPE.
// Nothing to mend.
void PrepareStandardStreams() {}

bool FileExists(const char* name) {
  const DWORD attributes = syscalls.GetFileAttributesA(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::FILE* CreateNewTextFile(const char* name) {
  // _O_EXCL fails on any entry at the name; _O_NOINHERIT keeps the file from
  // the command interpreter that the pause starts. Opened for reading as
  // well: a writable mapping of it needs both.
  const int fd = syscalls.open(name, _O_RDWR | _O_CREAT | _O_EXCL | _O_TEXT | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _fdopen(fd, "w");
  if (file == nullptr) _close(fd);
  return file;
}

// A descriptor in text mode (a log file, and standard output unless the
// caller made it binary) turns each LF into CR LF on its way out.
bool WriteToFile(std::FILE* file, const char* bytes, std::size_t length) {
  // Whatever the stream still holds leaves first, so the bytes stay in order.
  if (std::fflush(file) != 0) return false;
  const int fd = _fileno(file);
  while (length > 0) {
    const unsigned chunk = length > 0x40000000 ? 0x40000000 : static_cast<unsigned>(length);
    const int written = syscalls.write(fd, bytes, chunk);
    if (written <= 0) return false;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

bool CloseFile(std::FILE* file) { return syscalls.fclose(file) == 0; }

// ---- Files stored through a shared mapping -----------------------------------

namespace {

// The file behind the C runtime's descriptor of `file`.
HANDLE FileHandle(std::FILE* file) { return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))); }

LARGE_INTEGER Distance(std::uint64_t bytes) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(bytes);
  return distance;
}

// Moves the end of the file to `length`, and its position for writes there.
bool SetEndAt(HANDLE file, std::uint64_t length) {
  return syscalls.SetFilePointerEx(file, Distance(length), nullptr, FILE_BEGIN) && syscalls.SetEndOfFile(file);
}

FileStep StepOfError(DWORD error) {
  switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return FileStep::kNoSpace;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return FileStep::kUnsupported;
    default:
      return FileStep::kFailed;
  }
}

}  // namespace

const char* TextLineEnd() { return "\r\n"; }

// Views start at multiples of the allocation granularity (64 KiB), not of
// the page size.
std::size_t MappingGranularity() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwAllocationGranularity;
}

// Setting the end of file is what takes the room on NTFS: a file that is
// neither compressed nor sparse gets its clusters as it grows, and
// SetEndOfFile fails with ERROR_DISK_FULL when they are not there. The valid
// data length stays where it was, so the bytes past it read as zeros, and a
// store later only fills clusters that are the file's already (FAT and exFAT
// allocate the clusters too). A compressed or sparse file gets clusters only
// when its pages are written back, perhaps after the process has ended, when
// a full disk can no longer be told to anyone: that is a file this cannot
// allocate. A network share decides for itself (Samba, unless told to
// allocate strictly, only sets the size), as Wine does on Linux (ftruncate).
FileStep AllocateFile(std::FILE* file, std::uint64_t size) {
  const HANDLE handle = FileHandle(file);
  BY_HANDLE_FILE_INFORMATION information;
  if (!syscalls.GetFileInformationByHandle(handle, &information)) return StepOfError(GetLastError());
  if ((information.dwFileAttributes & (FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE)) != 0) {
    return FileStep::kUnsupported;
  }
  LARGE_INTEGER position;
  if (!syscalls.SetFilePointerEx(handle, Distance(0), &position, FILE_CURRENT)) return StepOfError(GetLastError());
  const bool allocated = SetEndAt(handle, size);
  const DWORD error = GetLastError();
  if (!syscalls.SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) && allocated) {
    return StepOfError(GetLastError());
  }
  return allocated ? FileStep::kDone : StepOfError(error);
}

// A mapping object for each window, reaching exactly to the window's end: one
// larger than the file would grow it. The view keeps the object alive once
// its handle is closed.
FileStep MapFileWindow(std::FILE* file, std::uint64_t offset, std::size_t length, char** window) {
  const std::uint64_t end = offset + length;
  const HANDLE mapping = syscalls.CreateFileMappingW(FileHandle(file), nullptr, PAGE_READWRITE,
                                                     static_cast<DWORD>(end >> 32), static_cast<DWORD>(end), nullptr);
  if (mapping == nullptr) return StepOfError(GetLastError());
  void* view = syscalls.MapViewOfFile(mapping, FILE_MAP_WRITE, static_cast<DWORD>(offset >> 32),
                                      static_cast<DWORD>(offset), length);
  const DWORD error = GetLastError();
  CloseHandle(mapping);
  if (view == nullptr) return StepOfError(error);
  *window = static_cast<char*>(view);
  return FileStep::kDone;
}

FileStep UnmapFileWindow(char* window, std::size_t) {
  return syscalls.UnmapViewOfFile(window) ? FileStep::kDone : FileStep::kFailed;
}

// Windows refuses to cut a file while a view of it is mapped: another
// program's SetEndOfFile fails with ERROR_USER_MAPPED_FILE, so no window of
// ours loses its pages, and no store raises the in-page error
// (EXCEPTION_IN_PAGE_ERROR) a cut view would. No handler is set for it.
bool FileWindowCut(const char*) { return false; }

FileStep FileSizeOf(std::FILE* file, std::uint64_t* size) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!syscalls.GetFileInformationByHandle(FileHandle(file), &information)) return FileStep::kFailed;
  *size = (static_cast<std::uint64_t>(information.nFileSizeHigh) << 32) | information.nFileSizeLow;
  return FileStep::kDone;
}

// The C runtime writes wherever the file's own position stands.
FileStep EndFileAt(std::FILE* file, std::uint64_t length) {
  return SetEndAt(FileHandle(file), length) ? FileStep::kDone : FileStep::kFailed;
}

// ---- Making what was written outlast a power cut ------------------------------

namespace {

Durable DurableOfError(DWORD error) {
  switch (error) {
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return Durable::kRefused;
    default:
      return Durable::kFailed;
  }
}

}  // namespace

Durable MakeFileDurable(std::FILE* file, char* window, std::size_t length) {
  // A view's pages go to the file's cache, and the file's buffers to the disk.
  if (window != nullptr && !syscalls.FlushViewOfFile(window, length)) return DurableOfError(GetLastError());
  if (!syscalls.FlushFileBuffers(FileHandle(file))) return DurableOfError(GetLastError());
  return Durable::kDone;
}

// A folder is opened as a handle only with backup semantics; flushing it
// needs write access, which a user may not have there.
Durable MakeFolderDurable() {
  const HANDLE folder = syscalls.CreateFileW(L".", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return DurableOfError(GetLastError());
  const Durable result = syscalls.FlushFileBuffers(folder) ? Durable::kDone : DurableOfError(GetLastError());
  CloseHandle(folder);
  return result;
}

// ---- Console -------------------------------------------------------------------

namespace {

// `text` in code page `codePage` as UTF-16.
std::wstring Widened(UINT codePage, const char* text, std::size_t length) {
  const int size = static_cast<int>(length);
  if (size <= 0 || static_cast<std::size_t>(size) != length) return std::wstring();
  const int units = MultiByteToWideChar(codePage, 0, text, size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0) MultiByteToWideChar(codePage, 0, text, size, wide.data(), units);
  return wide;
}

std::wstring WidePath(const char* path) { return Widened(CP_UTF8, path, std::strlen(path)); }

// A console gets the text as UTF-16, which every console shows whatever its
// code page (a non-Japanese Windows, or a Japanese one set to UTF-8). Anything
// else (a file, a pipe) gets Shift_JIS bytes: the text as it is when it is
// Shift_JIS already, or converted when it is UTF-8 (an argument).
bool WriteShown(DWORD which, std::FILE* stream, UINT codePage, const char* text, std::size_t length) {
  if (length == 0) return true;
  const HANDLE console = GetStdHandle(which);
  DWORD mode;
  if (!GetConsoleMode(console, &mode)) {
    if (codePage == 932) return std::fwrite(text, 1, length, stream) == length;
    const std::wstring wide = Widened(codePage, text, length);
    const int size =
        WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
      WideCharToMultiByte(932, 0, wide.data(), static_cast<int>(wide.size()), bytes.data(), size, nullptr, nullptr);
    }
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
  }
  const std::wstring wide = Widened(codePage, text, length);
  std::fflush(stream);
  DWORD written;
  return WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
}

}  // namespace

void WriteConsoleMessage(const char* text, std::size_t length) {
  WriteShown(STD_ERROR_HANDLE, stderr, 932, text, length);
}

bool WriteStandardOutput(const char* text, std::size_t length) {
  return WriteShown(STD_OUTPUT_HANDLE, stdout, 932, text, length) && std::fflush(stdout) == 0;
}

void WriteConsoleArgument(const char* text, std::size_t length) {
  WriteShown(STD_ERROR_HANDLE, stderr, CP_UTF8, text, length);
}

// ---- Command line and folders ------------------------------------------------

// The command line as UTF-16: argv of main holds it in the ANSI code page,
// where a folder named in another script has lost its characters already.
std::vector<std::string> CommandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = syscalls.CommandLineToArgvW(syscalls.GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string argument(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument.data(), size, nullptr, nullptr);
    argument.resize(argument.size() - 1);  // the terminator
    arguments.push_back(std::move(argument));
  }
  LocalFree(wide);
  return arguments;
}

std::string ProgramFileName(int, char**) {
  // Whatever the command line says: Explorer starts a dropped-on program by
  // its full path, a script by any word.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = syscalls.GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= 32768) return "";
    path.resize(path.size() * 2);
  }
  const int size = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return "";
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  utf8.resize(utf8.size() - 1);  // the terminator
  return FileNameInPath(utf8.c_str());
}

bool SlashAsksForHelp() { return true; }

PathKind KindOfPath(const char* path) {
  const DWORD attributes = syscalls.GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
                   error == ERROR_BAD_NETPATH
               ? PathKind::kMissing
               : PathKind::kUnreadable;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder : PathKind::kFile;
}

bool EnterFolder(const char* path) {
  // The first call comes before any folder was entered.
  static const std::wstring start = [] {
    const DWORD room = syscalls.GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(room, L'\0');
    const DWORD length = syscalls.GetCurrentDirectoryW(room, folder.data());
    folder.resize(length < room ? length : 0);
    return folder;
  }();
  if (start.empty() || !syscalls.SetCurrentDirectoryW(start.c_str())) return false;
  return syscalls.SetCurrentDirectoryW(WidePath(path).c_str()) != 0;
}

const char* FileNameInPath(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  return name;
}

// No rename here makes a reservation; a log whose head could not be written
// is removed again when it holds nothing.
bool RemoveEmptyFile(const char* name) {
  const std::wstring wide = WidePath(name);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!syscalls.GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return false;
  const bool empty =
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
  return empty && syscalls.DeleteFileW(wide.c_str()) != 0;
}

OpenForReading OpenFileForReading(const char* path, std::FILE** file) {
  const std::wstring wide = WidePath(path);
  const DWORD attributes = syscalls.GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? OpenForReading::kMissing
                                                                          : OpenForReading::kFailed;
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) return OpenForReading::kNotAFile;
  *file = syscalls.wfopen(wide.c_str(), L"rbN");
  return *file != nullptr ? OpenForReading::kOpened : OpenForReading::kFailed;
}

// ---- Logs left by a killed command ------------------------------------------

// FILE_FLAG_OPEN_REPARSE_POINT: a symbolic link (or junction) named like a
// log is opened itself, and then left alone, rather than what it points to.
FileStep CutFileKeepingTime(const char* name, std::uint64_t length) {
  const HANDLE file = syscalls.CreateFileW(WidePath(name).c_str(), GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileStep::kFailed;
  BY_HANDLE_FILE_INFORMATION information;
  const DWORD notAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  const bool cut = syscalls.GetFileInformationByHandle(file, &information) &&
                   (information.dwFileAttributes & notAFile) == 0 && SetEndAt(file, length);
  // Set on the handle, the time also stays as it is when the handle closes.
  if (cut) syscalls.SetFileTime(file, nullptr, nullptr, &information.ftLastWriteTime);
  CloseHandle(file);
  return cut ? FileStep::kDone : FileStep::kFailed;
}

bool RemoveRegularFile(const char* name) {
  const std::wstring wide = WidePath(name);
  const DWORD attributes = syscalls.GetFileAttributesW(wide.c_str());
  const DWORD notAFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & notAFile) == 0 && syscalls.DeleteFileW(wide.c_str());
}

// ---- Pause ----------------------------------------------------------------------

// The command interpreter's own "pause": its prompt in the user's language,
// and no wait when standard input is at its end.
void PauseForKey(const char*) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::system("pause");
}

// The prompt goes to the console's screen buffer (CONOUT$), which the
// standard handles may or may not lead to, as UTF-16 like every message on a
// console; the key is one character read with line input off.
void PauseAtConsole(const char* prompt) {
  std::fflush(stdout);
  std::fflush(stderr);
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved;
  if (!GetConsoleMode(input, &saved)) return;
  const HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD written;
  const std::wstring shown = Widened(932, prompt, std::strlen(prompt));
  WriteConsoleW(screen, shown.data(), static_cast<DWORD>(shown.size()), &written, nullptr);
  SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT));
  wchar_t key;
  DWORD read;
  ReadConsoleW(input, &key, 1, &read, nullptr);
  SetConsoleMode(input, saved);
  WriteConsoleW(screen, L"\r\n", 2, &written, nullptr);
  if (screen != INVALID_HANDLE_VALUE) CloseHandle(screen);
}

// Explorer gives a console program it starts a console of its own, which
// closes with it; in a command prompt the console also serves cmd.exe (and
// whatever started the tool from there).
bool WindowClosesAtExit() {
  DWORD processes[2];
  return syscalls.GetConsoleProcessList(processes, 2) == 1;
}

// Explorer starts the tool with the dropped log as its argument.
bool UndoesByDrop() { return true; }

std::string QuotedForShell(const std::string& path) {
  // cmd reads these itself outside double quotes; a file name holds no
  // double quote, so quoting the whole word is enough.
  if (!path.empty() && path.find_first_of(" &()[]{}^=;!'+,`~%") == std::string::npos) return path;
  return "\"" + path + "\"";
}

}  // namespace shotrenum
