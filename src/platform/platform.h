// The thin layer between the tool and the operating system. Everything the
// tool needs from the OS goes through these functions; one implementation file
// per OS provides them, and OS error codes are turned into plain results here,
// never further up. Each of those files makes its system calls through one
// table (platform/syscalls.h), so that a test can make a real call fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace shotrenum {

// The file time of the listing: a 64-bit count of 100-nanosecond intervals
// since 1 January 1601 UTC, kept as two 32-bit halves, low half first.
struct FILETIME {
  std::uint32_t dwLowDateTime;
  std::uint32_t dwHighDateTime;
};

// Local calendar fields of a moment, as the logs print them.
struct CalendarTime {
  int year;
  int month;   // 1..12
  int day;     // 1..31
  int hour;    // 0..23
  int minute;  // 0..59
  int second;  // 0..59 (60 for a leap second the OS reports)
  int milliseconds;
};

// ---- One run per folder -----------------------------------------------------

enum class FolderLock {
  kHeld,         // this run has the folder to itself
  kBusy,         // another run is working in it
  kUnsupported,  // the file system cannot lock (some network shares)
};

// Claims the current directory for this run. The claim ends with the process,
// however it ends, or with UnlockFolder.
FolderLock LockFolder();
void UnlockFolder();

// ---- Directory search -------------------------------------------------------
// Lists the entries of the current directory whose names match a wildcard
// pattern ("*" any run of characters, "?" any one), without regard to case:
// a rough cut, which the callers' own name rules then decide on. A symbolic
// link counts as what it points to; a dangling one counts as a file with its
// own time.

struct FolderSearch;

struct FolderEntry {
  const char* name;  // valid until the next NextFolderEntry or EndFolderSearch
  bool isDirectory;  // a folder, or a symbolic link to one (or in a loop)
};

// How starting a search went.
enum class SearchStart {
  kStarted,  // *search is to be read and ended
  kNothing,  // no entry matches (where the OS tells so at the start)
  kFailed,   // the folder could not be listed (no access, an I/O error)
};

// What a read of the listing gave.
enum class ListingStep {
  kEntry,   // the next matching entry
  kEnd,     // the listing is complete
  kFailed,  // the listing broke off (an I/O error, a failing network share)
};

SearchStart StartFolderSearch(const char* pattern, FolderSearch** search);
// Reads the next matching entry.
ListingStep NextFolderEntry(FolderSearch* search, FolderEntry* entry);

// What reading the time of a listed entry gave.
enum class EntryTime {
  kRead,      // *writeTime holds it
  kVanished,  // the entry no longer exists: it went since it was listed
  kFailed,    // it exists (or may) but cannot be read: an I/O error, no access
};

// The last-write time of the entry NextFolderEntry just delivered, and
// whether it is a file of no bytes.
EntryTime FolderEntryTime(FolderSearch* search, FILETIME* writeTime, bool* empty);

// Which file a name is: two names with one identity are one file.
struct FileIdentity {
  std::uint64_t device;
  std::uint64_t inode;
  friend bool operator==(FileIdentity a, FileIdentity b) { return a.device == b.device && a.inode == b.inode; }
};
// The identity of the entry FolderEntryTime just read, where it is a regular
// file (not a symbolic link) of more than one name, as a link-and-unlink
// rename cut between its two steps leaves one; false for any other entry,
// and always on Windows, where no rename makes a second name.
bool FolderEntryLinked(FolderSearch* search, FileIdentity* identity);
void EndFolderSearch(FolderSearch* search);

// Whether `name` matches `pattern` as the searches above match it.
bool MatchesPattern(const char* name, const char* pattern);

// ---- Renaming ----------------------------------------------------------------

// What a rename gave.
// Every failure leaves both names as they were; the ones told apart are
// those the user can mend.
enum class RenameResult {
  kRenamed,
  kFailed,   // for a reason none of the others names (an I/O error, ...)
  kHeld,     // another program held the file through every wait (Windows only)
  kDenied,   // no permission to change the folder or the file (read-only, another user's)
  kNoSpace,  // the disk, or the user's share of it, is full
  kTaken,    // `to` names an entry already (a folder, a file that is no screenshot)
};

// Renames an entry of the current directory. Never replaces an existing entry:
// when `to` exists the rename fails and both names stay as they were. Where
// the file system can neither rename without replacing nor link (FAT, exFAT),
// `to` is first created empty and exclusively, and the rename replaces only
// that reservation. On Windows a file that another program holds open (a
// viewer, a virus scanner, a sync client) is tried again after growing waits,
// up to about 2 s for one file and about 10 s in one run (counted from its
// LockFolder); a rename that nothing holds never waits.
RenameResult RenameWithoutReplace(const char* from, const char* to);

// Removes the name `extra` when it and `kept` are two names of one file.
// False, touching nothing, otherwise.
bool RemoveSecondName(const char* extra, const char* kept);
// Removes `name` when it is a file of no bytes (the reservation a rename on
// a file system without links makes, left by a kill). False, touching
// nothing, otherwise.
bool RemoveEmptyFile(const char* name);

// Whether the file system of the current directory ignores letter case in
// names (one name for "G0000001.pcx" and "g0000001.PCX").
bool NamesIgnoreCase();

// Whether this process may create, rename and remove names in the current
// directory, asked without touching it (a preview must change nothing).
enum class FolderWrite {
  kAllowed,
  kDenied,   // a read-only mount, or the permissions refuse it
  kUnknown,  // the OS cannot tell without trying (Windows), or the question failed
};
FolderWrite CanWriteFolder();

// ---- Time ---------------------------------------------------------------------

// The current time in whole seconds since 1970-01-01 UTC.
std::int64_t CurrentRunStamp();
// Waits until the clock shows a later second than `second`, and returns it.
std::int64_t WaitForSecondAfter(std::int64_t second);
// `stamp` broken down into local calendar fields (milliseconds 0).
bool LocalCalendarOfStamp(std::int64_t stamp, CalendarTime* out);
// A file time turned into local calendar fields, applying the local offset
// from UTC in force now (daylight saving included), not the one in force at
// the file's own date. Returns false when the result is not a valid date.
bool LocalCalendarOfFileTime(FILETIME fileTime, CalendarTime* out);

// ---- Standard streams and files ----------------------------------------------

// Makes the standard streams safe to use before anything else is opened: a
// closed standard descriptor is opened on the null device (so no file the
// tool opens can land on one), and a reader that went away makes writes fail
// rather than end the process.
void PrepareStandardStreams();

// Whether a file (not a directory) bears `name`; a symbolic link counts.
bool FileExists(const char* name);
// Creates `name` as a new file to write text into. Returns nullptr when any
// entry already bears the name (a file, a directory, a symbolic link, even a
// dangling one) or the file cannot be created: nothing is ever emptied or
// followed.
std::FILE* CreateNewTextFile(const char* name);

// Writes `length` bytes to `file` (a text file of CreateNewTextFile, or
// standard output) straight to the OS, past the stream's buffer, so that they
// have left the process when this returns. The stream itself must never hold
// buffered output. False when they could not all be written (a full disk, a
// broken pipe); how much of them arrived is then unknown.
bool WriteToFile(std::FILE* file, const char* bytes, std::size_t length);
// Closes a file of CreateNewTextFile. False when the close reports a failure:
// what was written may not all have arrived.
bool CloseFile(std::FILE* file);

// ---- Files stored through a shared mapping -----------------------------------
// A file of CreateNewTextFile can also take its bytes as stores into a window
// of a shared mapping of it: a byte stored there belongs to the file's cache
// at once, and outlives a killed process as a written byte does, without a
// system call per row.

// What a step on a file gave.
enum class FileStep {
  kDone,
  kUnsupported,  // this file or its file system cannot do it (FUSE, some
                 // network file systems, a compressed file on Windows)
  kNoSpace,      // the disk, or the user's share of it, is full
  kFailed,       // anything else: an I/O error, no memory or address space
};

// How a line ends in a file of CreateNewTextFile on this OS: "\n" on POSIX,
// "\r\n" on Windows, where its writes turn each LF into CR LF. Stores into a
// mapping are not turned: they must hold these bytes themselves.
const char* TextLineEnd();
// The multiple of which the offset of a window in the file must be.
std::size_t MappingGranularity();

// Makes `file` (of CreateNewTextFile, nothing written to it yet) `size` bytes
// long, all zero, and takes the room for them on the disk now, so that no
// store into a window of it can fail for want of space later. Its position
// for writes stays where it was. Every FileStep is possible; after a failure
// the file may have grown, part or all of the way.
FileStep AllocateFile(std::FILE* file, std::uint64_t size);
// Maps [offset, offset + length) of `file`, shared and writable, at *window:
// a byte stored at (*window)[i] is byte offset + i of the file. `offset` is a
// multiple of MappingGranularity(), and the window ends within the file's size
// (a store past its end would fault). kDone, kUnsupported or kFailed.
FileStep MapFileWindow(std::FILE* file, std::uint64_t offset, std::size_t length, char** window);
// Unmaps a window of MapFileWindow; what was stored stays in the file. kDone
// or kFailed.
FileStep UnmapFileWindow(char* window, std::size_t length);
// Whether a store into `window` (of MapFileWindow, still mapped) fell where
// its file no longer reaches since it was mapped: another program cut the
// file underneath it. Such a store still completes, into memory of this
// process put in place of the page that went, so it never ends the process;
// but it is not in the file. No system call. (On POSIX a store past a file's
// end raises SIGBUS, which the platform layer catches for its own windows
// only; any other SIGBUS ends the process as it always would. Windows mostly
// refuses to cut a file that has a mapped view, so there the other program's
// cut fails and this is always false.)
bool FileWindowCut(const char* window);
// The size of `file` now, in *size. kDone or kFailed.
FileStep FileSizeOf(std::FILE* file, std::uint64_t* size);
// Cuts `file` to its first `length` bytes and makes its next write (through
// WriteToFile) go right after them. kDone or kFailed. No window of it may be
// mapped (Windows refuses to cut a mapped file).
FileStep EndFileAt(std::FILE* file, std::uint64_t length);

// ---- Making what was written outlast a power cut ------------------------------
// A byte written or stored reaches the disk when the OS writes its page back,
// in an order of the OS's own; a power cut keeps only what reached it. These
// make it reach it now.

// What asking for that gave.
enum class Durable {
  kDone,
  kRefused,  // this file system does not do it (some network shares, FUSE,
             // a read-only mount): go on, the writes stand as they are
  kFailed,   // an I/O error: what was written may not all be on the disk
};

// Makes the bytes of `file` (of CreateNewTextFile) reach the disk: those
// written to it, those stored into `window` (`length` bytes of a window of
// MapFileWindow; nullptr for none), and its size.
Durable MakeFileDurable(std::FILE* file, char* window, std::size_t length);
// Makes the names of the current directory (created, renamed, removed) reach
// the disk.
Durable MakeFolderDurable();

// ---- Logs left by a killed command ------------------------------------------

// Cuts the regular file `name` of the current folder to its first `length`
// bytes, keeping its last-write time (which tells when its command last
// wrote it). Never through a symbolic link. kDone, or kFailed with the file
// as it was (a link, no regular file, no access); the time may be lost where
// the OS refuses to set it after the cut.
FileStep CutFileKeepingTime(const char* name, std::uint64_t length);
// Removes the regular file `name` of the current folder; a symbolic link, a
// folder or anything else is left alone. False when nothing was removed.
bool RemoveRegularFile(const char* name);

// ---- Command line and folders ------------------------------------------------
// Paths are byte strings as the user gave them: on POSIX the bytes of argv,
// on Windows UTF-8 made from the UTF-16 command line, so a folder named in
// any script arrives intact whatever the system's code page.

// The arguments after the program's name.
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// The file name the program was started by, without its folder: on POSIX
// the last part of argv[0] (a link's own name), on Windows that of the
// program's file ("shotrenum-preview.exe" for a copy so named); "" when
// not known.
std::string ProgramFileName(int argc, char** argv);
// Whether "/?" asks for help, as it does on Windows.
bool SlashAsksForHelp();

enum class PathKind {
  kMissing,  // nothing bears the path
  kFolder,
  kFile,        // anything else that can be opened: a file, a link to one
  kUnreadable,  // something is there, but it cannot be looked at
};
// What `path` names, seen from the current directory.
PathKind KindOfPath(const char* path);

// Makes `path` the current directory, taken from the directory the tool was
// started in (so that every relative path means what it meant at the start).
bool EnterFolder(const char* path);
// The part of `path` after its last directory separator.
const char* FileNameInPath(const char* path);

// How opening a log to read it went.
enum class OpenForReading {
  kOpened,
  kMissing,   // nothing bears the name
  kNotAFile,  // a folder, a FIFO, a device: never opened for a blocking read
  kFailed,    // it is there but cannot be opened
};
// Opens `path` (seen from the current directory) to read its bytes, if it is
// a regular file (or a link to one).
OpenForReading OpenFileForReading(const char* path, std::FILE** file);

// ---- Console -------------------------------------------------------------------

// Writes a message (Shift_JIS bytes) to standard error, shown so that the
// user's console can read it.
void WriteConsoleMessage(const char* text, std::size_t length);
// Writes an argument (a path as the user gave it) inside a message on
// standard error, so that the user's console shows it as typed.
void WriteConsoleArgument(const char* text, std::size_t length);
// Writes text (Shift_JIS bytes) to standard output the way messages are
// shown; false when standard output failed.
bool WriteStandardOutput(const char* text, std::size_t length);

// Waits for one key press before the process ends. On POSIX only when
// standard input is a terminal, after `prompt` (Shift_JIS); otherwise no
// prompt, nothing read. On Windows the command interpreter's pause, with its
// own prompt in the user's language; it returns at once when standard input
// is at its end or closed.
void PauseForKey(const char* prompt);
// Waits for one key press only when standard input is a console (a terminal),
// after `prompt` (Shift_JIS) written to that console itself: never into
// standard output, wherever that goes. Otherwise no prompt, nothing read.
void PauseAtConsole(const char* prompt);

// Whether the window the tool's messages appear in closes when the tool ends:
// on Windows when the console is the tool's own (Explorer started it for a
// double-click or a drop), not a command prompt's or a script's; never
// elsewhere, where a terminal outlives the programs run in it.
bool WindowClosesAtExit();
// Whether a run is taken back by dropping its log onto the tool (Windows),
// rather than with `shotrenum --undo LOG`.
bool UndoesByDrop();
// `path` as one word of this system's shell (a POSIX shell; on Windows,
// cmd), so that a command printed with it runs as printed when pasted:
// quoted where it holds anything the shell would read otherwise.
std::string QuotedForShell(const std::string& path);

}  // namespace shotrenum
