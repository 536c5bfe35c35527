#include "journal/log_identity.h"

#include <cstring>
#include <memory>

#include "rename/log_format.h"

namespace shotrenum {

namespace {

// A log opened on the shelf, its head read.
struct OpenedLog {
  std::unique_ptr<ByteSource> source;
  std::unique_ptr<LogReader> reader;
  LogHead head{};

  bool Open(LogShelf& shelf, const char* name, StampTable& stamps) {
    if (shelf.OpenLog(name, &source) != LogShelf::Open::kOpened) return false;
    reader = std::make_unique<LogReader>(*source, stamps, shelf.PageBytes());
    return reader->ReadHead(&head) == HeadStep::kHead;
  }

  // The next row; of a process log read against a result log, only the
  // rows to a name that is no temporary one. False at the end or a bad row.
  bool Next(LogRow* row, bool onlyToFinalNames, bool* end) {
    RowStep step;
    while ((step = reader->NextRow(row)) == RowStep::kRow) {
      if (!onlyToFinalNames || !row->after.IsTemporary()) return true;
    }
    *end = step == RowStep::kEnd;
    return false;
  }
};

// Whether the log `other` holds the rows of the log `given`: all of them,
// or (logs of different kinds) each rename to its final name.
bool SameRows(LogShelf& shelf, const char* given, const char* other) {
  StampTable stamps;
  OpenedLog a;
  OpenedLog b;
  if (!a.Open(shelf, given, stamps) || !b.Open(shelf, other, stamps)) return false;
  const bool sameKind = a.head.kind == b.head.kind;
  if (a.head.undo != b.head.undo || std::strcmp(a.head.undoneDigits, b.head.undoneDigits) != 0) return false;
  for (;;) {
    LogRow x{};
    LogRow y{};
    bool endA = false;
    bool endB = false;
    const bool gotA = a.Next(&x, !sameKind && a.head.kind == LogKind::kProcess, &endA);
    const bool gotB = b.Next(&y, !sameKind && b.head.kind == LogKind::kProcess, &endB);
    if (!gotA || !gotB) return !gotA && !gotB && endA && endB;
    if (x.ok != y.ok || !(x.after == y.after) || x.localTime != y.localTime) return false;
    if (sameKind && !(x.before == y.before)) return false;
  }
}

}  // namespace

LogIdentity IdentifyLog(LogShelf& shelf, const std::vector<ListedLog>& logs, const char* name) {
  LogIdentity identity;
  LogKind kind;
  if (ParseLogFileName(name, identity.digits, &kind)) {
    identity.owner = LogOwner::kFound;
    return identity;
  }
  LogHead head{};
  {
    std::unique_ptr<ByteSource> source;
    if (shelf.OpenLog(name, &source) != LogShelf::Open::kOpened) {
      identity.check = LogCheck{LogFault::kUnreadable, 0};
      return identity;
    }
    identity.check = CheckLog(*source, CheckExtent::kWhole, &head);
    if (identity.check.fault != LogFault::kNone) return identity;
  }
  // Logs of the same kind first: a copy; then the pair's other log.
  for (const bool sameKind : {true, false}) {
    int found = 0;
    for (const ListedLog& log : logs) {
      char digits[15];
      LogKind listed;
      if (!ParseLogFileName(log.name, digits, &listed) || (listed == head.kind) != sameKind) continue;
      if (found > 0 && std::strcmp(digits, identity.digits) == 0) continue;
      if (!SameRows(shelf, name, log.name.c_str())) continue;
      std::memcpy(identity.digits, digits, sizeof digits);
      ++found;
    }
    if (found == 1) {
      identity.owner = LogOwner::kFound;
      return identity;
    }
    if (found > 1) {
      identity.owner = LogOwner::kAmbiguous;
      return identity;
    }
  }
  identity.owner = LogOwner::kNoOriginal;
  return identity;
}

}  // namespace shotrenum
