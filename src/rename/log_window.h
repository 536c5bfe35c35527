// A log file written as stores into a window of a shared mapping of it rather
// than one write per row. The file is given its final size (and the room for
// it on the disk) before the first row, so no store can fault; the window
// slides forward as it fills and is unmapped behind, so a log keeps about one
// window resident whatever its size. A store is in the file the moment it is
// made: a process killed at any instant leaves every row stored before it,
// followed by NUL bytes up to the allocated size.
//
// Text comes with lines ending in "\n", and is stored with the line ends of
// the OS's text files (CR LF on Windows), as a write to the file would be.
// LogWindowBytes tells how many bytes a text takes there, so that the size
// given at the start and the stores agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "platform/platform.h"

namespace shotrenum {

// Where a log file's bytes go.
enum class LogWindowState {
  kMapped,   // into the window: stores go on
  kPlain,    // no window (any more): the file holds exactly the bytes stored,
             // and its next write goes right after them; write the rest, the
             // text that got this answer included, with WriteToFile
  kNulTail,  // no window, and the file's end could not be set: the bytes
             // stored are followed by NULs up to the allocated size, as a
             // killed run leaves them. The file takes nothing more.
  kChanged,  // no window: another program changed the file underneath it
             // (cut it shorter), so rows stored may be gone from it. Nothing
             // more is stored; the file is as the other program left it, to
             // be written whole again from its first byte.
};

struct LogWindow {
  std::FILE* file;
  const char* lineEnd;
  std::uint64_t size;       // allocated
  std::uint64_t stored;     // bytes stored from the start of the file
  std::size_t granularity;  // MappingGranularity()
  std::size_t length;       // of a window, a multiple of the granularity
  char* window;             // mapped, or nullptr
  std::uint64_t windowOffset;
  std::size_t windowLength;
  LogWindowState state;
};

// The bytes `text` takes in a file whose lines end in `lineEnd`.
std::uint64_t LogWindowBytes(std::string_view text, std::string_view lineEnd = TextLineEnd());

// Starts storing into `file`, a file of CreateNewTextFile that holds the
// `written` bytes written to it so far (a log's head, or nothing): allocates
// `size` bytes in all (those, and what the texts to be stored take by
// LogWindowBytes) and maps the first window; the first store goes right
// after the bytes written. `windowLength` is rounded up to a multiple of
// MappingGranularity(). kMapped, or kPlain with the file cut back to the
// bytes written when allocation or mapping fail (a full disk, a file system
// that cannot map), or kNulTail when it cannot be cut back.
LogWindowState BeginLogWindow(LogWindow& log, std::FILE* file, std::uint64_t written, std::uint64_t size,
                              std::size_t windowLength, const char* lineEnd = TextLineEnd());

// Stores `text` (one row, or the head's lines) after the bytes stored so far,
// whole or not at all. kMapped when stored; otherwise the state the file was
// left in, and nothing of `text` is stored: a window that cannot be mapped,
// or a text past the allocated size.
LogWindowState StoreInLogWindow(LogWindow& log, std::string_view text);

// kChanged (the window given up) when the file was found changed underneath
// the log: a store fell past its end, or it is shorter than allocated. A
// text whose store gets kChanged is not in the file. The size is asked only
// as the window moves on, never per store.

// Whether the file still holds every byte stored: kMapped, or kChanged as
// above (asking the file's size once). Nothing to do for a log not kMapped.
LogWindowState CheckLogWindow(LogWindow& log);

// Unmaps the window and cuts the file to the bytes stored: kPlain, or
// kNulTail when it cannot be cut, or kChanged (and nothing cut) when the
// file was changed underneath it. Nothing to do for a log already kPlain.
LogWindowState EndLogWindow(LogWindow& log);

}  // namespace shotrenum
