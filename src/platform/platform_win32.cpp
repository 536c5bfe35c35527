// The platform layer on Windows (built with MinGW-w64, against msvcrt).
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

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
  bool delivered;     // data holds an entry already delivered
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

// The pattern is matched the Win32 way: without regard to case, against the
// short 8.3 names as well, and "?" may match nothing before the dot. Names of
// other lengths come back too; the screenshot name rule drops them.
ShotSearch* StartShotSearch() {
  if (seam::Injected(seam::Fault::kSearchStart)) return nullptr;
  auto* search = new ShotSearch{};
  search->handle = FindFirstFileA("G???????.pcx", &search->data);
  if (search->handle == INVALID_HANDLE_VALUE) {
    delete search;
    return nullptr;
  }
  search->firstPending = true;
  return search;
}

ListingStep NextShotEntry(ShotSearch* search, ShotEntry* entry) {
  if (seam::Injected(seam::Fault::kListingRead)) return ListingStep::kFailed;
  if (!search->delivered || !seam::Injected(seam::Fault::kEntryRepeated)) {
    if (search->firstPending) {
      search->firstPending = false;
    } else if (!FindNextFileA(search->handle, &search->data)) {
      return GetLastError() == ERROR_NO_MORE_FILES ? ListingStep::kEnd : ListingStep::kFailed;
    }
    search->delivered = true;
  }
  entry->name = search->data.cFileName;
  entry->isDirectory = (search->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return ListingStep::kEntry;
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
  if (seam::Injected(seam::Fault::kRename)) return false;
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

// ---- Standard streams -----------------------------------------------------------

// The C runtime keeps descriptors 0 to 2 for the standard streams even when
// the process was started without a standard handle (writes to them then
// fail), so no file the tool opens lands on one; and Windows has no SIGPIPE.
// Nothing to mend.
void PrepareStandardStreams() {}

// ---- Console -------------------------------------------------------------------

// A Japanese Windows console reads Shift_JIS as it is.
void WriteConsoleMessage(const char* text, std::size_t length) { std::fwrite(text, 1, length, stderr); }

// ---- Pause ----------------------------------------------------------------------

// The command interpreter's own "pause": its prompt in the user's language,
// and no wait when standard input is at its end.
void PauseForKey() {
  std::fflush(stdout);
  std::fflush(stderr);
  std::system("pause");
}

}  // namespace shotrenum
