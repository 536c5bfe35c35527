#include "rename/log_window.h"

#include <algorithm>

namespace shotrenum {

namespace {

// Gives the window up: the file is cut back to the bytes stored, and writes
// go on after them.
LogWindowState Leave(LogWindow& log) {
  if (log.window != nullptr) UnmapFileWindow(log.window, log.windowLength);
  log.window = nullptr;
  log.state = EndFileAt(log.file, log.stored) == FileStep::kDone ? LogWindowState::kPlain : LogWindowState::kNulTail;
  return log.state;
}

// Gives the window up for a file that another program cut underneath it:
// nothing of it is cut or written here.
LogWindowState Changed(LogWindow& log) {
  if (log.window != nullptr) UnmapFileWindow(log.window, log.windowLength);
  log.window = nullptr;
  log.state = LogWindowState::kChanged;
  return log.state;
}

// Whether the file was cut shorter than its allocated size. A size that
// cannot be read is not taken for a change.
bool CutShorter(const LogWindow& log) {
  std::uint64_t size;
  return FileSizeOf(log.file, &size) == FileStep::kDone && size < log.size;
}

// Maps the window for the next `bytes` bytes: from the start of the granule
// the first of them is in, at least a window long and to their end, never
// past the allocated size.
bool MapWindowFor(LogWindow& log, std::uint64_t bytes) {
  const std::uint64_t offset = log.stored - log.stored % log.granularity;
  const std::uint64_t end = std::min(log.size, std::max(offset + log.length, log.stored + bytes));
  char* window;
  if (MapFileWindow(log.file, offset, static_cast<std::size_t>(end - offset), &window) != FileStep::kDone) {
    return false;
  }
  log.window = window;
  log.windowOffset = offset;
  log.windowLength = static_cast<std::size_t>(end - offset);
  return true;
}

// Copies `text` to `out`, each "\n" as `lineEnd`.
void CopyWithLineEnds(char* out, std::string_view text, std::string_view lineEnd) {
  if (lineEnd == "\n") {
    std::copy(text.begin(), text.end(), out);
    return;
  }
  for (;;) {
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    out = std::copy(line.begin(), line.end(), out);
    if (newline == std::string_view::npos) return;
    out = std::copy(lineEnd.begin(), lineEnd.end(), out);
    text.remove_prefix(newline + 1);
  }
}

}  // namespace

std::uint64_t LogWindowBytes(std::string_view text, std::string_view lineEnd) {
  if (lineEnd.size() == 1) return text.size();
  const auto lines = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
  return text.size() + lines * (lineEnd.size() - 1);
}

LogWindowState BeginLogWindow(LogWindow& log, std::FILE* file, std::uint64_t written, std::uint64_t size,
                              std::size_t windowLength, const char* lineEnd) {
  log = LogWindow{};
  log.file = file;
  log.lineEnd = lineEnd;
  log.size = size;
  log.stored = written;
  log.granularity = MappingGranularity();
  log.length = std::max<std::size_t>((windowLength + log.granularity - 1) / log.granularity, 1) * log.granularity;
  log.state = LogWindowState::kMapped;
  // A file with no room for more has nothing to map. A file whose allocation
  // failed may have grown part of the way: it is cut back to what was written.
  if (size <= written || AllocateFile(file, size) != FileStep::kDone || !MapWindowFor(log, 0)) return Leave(log);
  return log.state;
}

LogWindowState StoreInLogWindow(LogWindow& log, std::string_view text) {
  if (log.state != LogWindowState::kMapped) return log.state;
  const std::uint64_t bytes = LogWindowBytes(text, log.lineEnd);
  if (bytes > log.size - log.stored) return Leave(log);
  if (log.stored + bytes > log.windowOffset + log.windowLength) {
    // The text runs past the window's end: the window moves on to where it
    // starts, and what lies behind is no longer mapped.
    if (FileWindowCut(log.window) || CutShorter(log)) return Changed(log);
    const FileStep unmapped = UnmapFileWindow(log.window, log.windowLength);
    log.window = nullptr;
    if (unmapped != FileStep::kDone || !MapWindowFor(log, bytes)) return Leave(log);
  }
  CopyWithLineEnds(log.window + (log.stored - log.windowOffset), text, log.lineEnd);
  // A store past the file's end went into memory of our own instead.
  if (FileWindowCut(log.window)) return Changed(log);
  log.stored += bytes;
  return LogWindowState::kMapped;
}

LogWindowState CheckLogWindow(LogWindow& log) {
  if (log.state != LogWindowState::kMapped) return log.state;
  if (FileWindowCut(log.window) || CutShorter(log)) return Changed(log);
  return log.state;
}

LogWindowState EndLogWindow(LogWindow& log) {
  if (CheckLogWindow(log) != LogWindowState::kMapped) return log.state;
  return Leave(log);
}

}  // namespace shotrenum
