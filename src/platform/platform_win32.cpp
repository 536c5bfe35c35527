// The platform layer on Windows (built with MinGW-w64, against msvcrt).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/filetime.h"
#include "platform/platform.h"
#include "platform/seam.h"

namespace shotrenum {

namespace {

FILETIME FromWin32(const ::FILETIME& t) { return FILETIME{t.dwLowDateTime, t.dwHighDateTime}; }

::FILETIME ToWin32(FILETIME t) {
  ::FILETIME out;
  out.dwLowDateTime = t.dwLowDateTime;
  out.dwHighDateTime = t.dwHighDateTime;
  return out;
}

}  // namespace

// ---- Directory search -------------------------------------------------------

struct ShotSearch {
  HANDLE handle;
  WIN32_FIND_DATAA data;
  bool firstPending;  // data holds the entry FindFirstFileA found, not yet delivered
  long repeatsLeft;
};

namespace {

int searchesStarted = 0;

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

// The pattern is matched the Win32 way: without regard to case, against the
// short 8.3 names as well, and "?" may match nothing before the dot. Names of
// other lengths come back too; the screenshot name rule drops them.
ShotSearch* StartShotSearch() {
  if (!seam::SearchStarts(++searchesStarted)) return nullptr;
  auto* search = new ShotSearch{};
  search->handle = FindFirstFileA("G???????.pcx", &search->data);
  if (search->handle == INVALID_HANDLE_VALUE) {
    delete search;
    return nullptr;
  }
  search->firstPending = true;
  return search;
}

bool NextShotEntry(ShotSearch* search, ShotEntry* entry) {
  if (search->repeatsLeft > 0) {
    --search->repeatsLeft;
  } else {
    if (search->firstPending) {
      search->firstPending = false;
    } else if (!FindNextFileA(search->handle, &search->data)) {
      return false;
    }
    search->repeatsLeft = seam::EntryRepeats() - 1;
  }
  entry->name = search->data.cFileName;
  entry->isDirectory = (search->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

// The listing carries the time, so an entry that vanished since is not noticed
// here; its rename fails later instead.
bool ShotEntryWriteTime(ShotSearch* search, FILETIME* writeTime) {
  ::FILETIME time = search->data.ftLastWriteTime;
  if (IsFileSymlink(search->data)) {
    // A dangling link keeps its own time.
    LinkTargetWriteTime(search->data.cFileName, &time);
  }
  *writeTime = FromWin32(time);
  return true;
}

void EndShotSearch(ShotSearch* search) {
  FindClose(search->handle);
  delete search;
}

// ---- Renaming ----------------------------------------------------------------

// The C runtime's rename never replaces: it fails when `to` exists, be it a
// file or a directory.
bool RenameWithoutReplace(const char* from, const char* to) {
  if (seam::RenameFails()) return false;
  return std::rename(from, to) == 0;
}

// ---- Time ---------------------------------------------------------------------

std::int64_t CurrentRunStamp() { return static_cast<std::int64_t>(_time64(nullptr)); }

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

// ---- Console -------------------------------------------------------------------

// A console gets the text as UTF-16, which every console shows whatever its
// code page (a non-Japanese Windows, or a Japanese one set to UTF-8). Anything
// else (a file, a pipe) gets the Shift_JIS bytes as they are.
void WriteConsoleMessage(const char* text, std::size_t length) {
  const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode;
  const int size = static_cast<int>(length);
  if (length == 0 || static_cast<std::size_t>(size) != length || !GetConsoleMode(console, &mode)) {
    std::fwrite(text, 1, length, stderr);
    return;
  }
  const int units = MultiByteToWideChar(932, 0, text, size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(932, 0, text, size, wide.data(), units);
  std::fflush(stderr);
  DWORD written;
  WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

// ---- Pause ----------------------------------------------------------------------

// The command interpreter's own "pause": its prompt in the user's language,
// and no wait when standard input is at its end.
void PauseForKey() {
  std::fflush(stdout);
  std::fflush(stderr);
  std::system("pause");
}

}  // namespace shotrenum
