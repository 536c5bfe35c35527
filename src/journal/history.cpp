#include "journal/history.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "journal/row_time.h"
#include "rename/run_log.h"

namespace shotrenum {

namespace {

// A command's first-phase rows, in their order, as they are read.
struct FirstPhase {
  std::vector<Placement> rows;        // before → own temporary name, or stayed
  std::vector<bool> followed;         // a second-phase row of the same file came
  std::size_t cursor = 0;             // second-phase rows follow the first-phase order
  std::vector<std::uint32_t> byName;  // indices by before, made if that order breaks

  // The first-phase row of the file whose own temporary name holds `shot`.
  long Find(std::uint32_t shot) {
    while (cursor < rows.size() && followed[cursor]) ++cursor;
    if (cursor < rows.size() && rows[cursor].before.shot == shot) return static_cast<long>(cursor);
    if (byName.size() != rows.size()) {
      byName.resize(rows.size());
      for (std::uint32_t i = 0; i < byName.size(); ++i) byName[i] = i;
      std::sort(byName.begin(), byName.end(),
                [&](std::uint32_t a, std::uint32_t b) { return rows[a].before.shot < rows[b].before.shot; });
    }
    const auto at = std::lower_bound(byName.begin(), byName.end(), shot,
                                     [&](std::uint32_t i, std::uint32_t s) { return rows[i].before.shot < s; });
    return at != byName.end() && rows[*at].before.shot == shot ? static_cast<long>(*at) : -1;
  }
};

// Reading one command.
class CommandReader {
 public:
  CommandReader(LogShelf& shelf, StampTable& stamps, LoggedCommand& command, std::vector<LogCut>* cuts, bool keepRows)
      : shelf_(shelf), stamps_(stamps), command_(command), cuts_(cuts), keepRows_(keepRows) {}

  void Read() {
    const bool hadProcess = command_.processLog[0] != '\0';
    const bool hadResult = command_.resultLog[0] != '\0';
    HeadStep process = HeadStep::kNothing;
    HeadStep result = HeadStep::kNothing;
    if (hadProcess) process = ReadLog(command_.processLog, LogKind::kProcess);
    readProcess_ = ok_ && process == HeadStep::kHead;
    if (ok_ && hadResult) result = ReadLog(command_.resultLog, LogKind::kResult);
    if (!ok_) return;
    if (hadProcess && process == HeadStep::kEmpty && !hadResult) {
      command_.state = LogState::kUnstarted;
      return;
    }
    const bool processRows = hadProcess && process == HeadStep::kHead;
    if (!(processRows || (hadResult && result == HeadStep::kHead))) {
      command_.state = LogState::kNothing;
      return;
    }
    Finish(processRows);
  }

 private:
  void Refuse(const char* log) {
    if (!ok_) return;
    ok_ = false;
    command_.state = LogState::kUnreadable;
    std::snprintf(command_.problem, sizeof command_.problem, "%s", log);
  }

  HeadStep ReadLog(const char* name, LogKind kind) {
    std::unique_ptr<ByteSource> source;
    if (shelf_.OpenLog(name, &source) != LogShelf::Open::kOpened) {
      Refuse(name);
      return HeadStep::kBad;
    }
    // Room for every row the log can hold: memory reserved and never
    // touched costs nothing, and the rows are not copied as they grow.
    const long long size = source->Size();
    if (keepRows_ && size > 0 && (kind == LogKind::kProcess || !readProcess_)) {
      first_.rows.reserve(first_.rows.size() + static_cast<std::size_t>(size / kShortestRow));
    }
    LogReader reader(*source, stamps_, shelf_.PageBytes());
    LogHead head{};
    const HeadStep step = reader.ReadHead(&head);
    if (step == HeadStep::kNothing) {
      CutNulTail(name, source, reader);
      return step;
    }
    if (step == HeadStep::kEmpty) {
      // A result log made and killed before its head holds no row yet; a
      // process log alone so is a command killed before its head (Read
      // decides); a process log empty beside a result log had its head
      // refused (a full disk) while the command went on.
      if (kind == LogKind::kResult) return HeadStep::kNothing;
      if (command_.resultLog[0] == '\0') return step;
      Refuse(name);
      return HeadStep::kBad;
    }
    if (step == HeadStep::kBad || head.kind != kind || !SameTitle(head)) {
      Refuse(name);
      return HeadStep::kBad;
    }
    LogRow row;
    RowStep next;
    while ((next = reader.NextRow(&row)) == RowStep::kRow) {
      if (kind == LogKind::kProcess && reader.GapBeforeRow()) gap_ = true;
      if (!(kind == LogKind::kProcess ? ProcessRow(row) : ResultRow(row))) break;
    }
    if (next != RowStep::kEnd) {
      Refuse(name);
    } else {
      CutNulTail(name, source, reader);
    }
    return HeadStep::kHead;
  }

  // A log read to its end once, with NULs after its lines: they are to go.
  void CutNulTail(const char* name, std::unique_ptr<ByteSource>&, const LogReader& reader) {
    if (!reader.HadNulTail() || cuts_ == nullptr) return;
    LogCut cut{"", reader.LineBytes()};
    std::snprintf(cut.name, sizeof cut.name, "%s", name);
    cuts_->push_back(cut);
  }

  // Both logs of a command name the same command in their titles.
  bool SameTitle(const LogHead& head) {
    if (!titled_) {
      titled_ = true;
      command_.undo = head.undo;
      std::memcpy(command_.undoneDigits, head.undoneDigits, sizeof head.undoneDigits);
      return true;
    }
    return command_.undo == head.undo && std::strcmp(command_.undoneDigits, head.undoneDigits) == 0;
  }

  bool Fail() {
    Refuse(phase_ == LogKind::kProcess ? command_.processLog : command_.resultLog);
    return false;
  }

  bool ProcessRow(const LogRow& row) {
    phase_ = LogKind::kProcess;
    if (!row.before.IsTemporary()) {
      // First phase: a screenshot name to this command's temporary name of it.
      if (inSecondPhase_ || !row.after.IsTemporary() || row.after.shot != row.before.shot) return Fail();
      firstPhaseAfterGap_ = firstPhaseAfterGap_ || gap_;
      if (ownStamp_ == 0) ownStamp_ = row.after.stamp;
      if (row.after.stamp != ownStamp_) return Fail();
      if (!keepRows_) return true;
      first_.rows.push_back(Placement{row.before, row.ok ? row.after : row.before, row.localTime});
      first_.followed.push_back(false);
      return true;
    }
    // The first phase's rows were on the disk before the second phase began:
    // pages of them that a cut lost are damage, not rows after the last
    // barrier.
    if (firstPhaseAfterGap_) return Fail();
    inSecondPhase_ = true;
    return SecondPhaseRow(row);
  }

  // A second-phase row: a temporary name to where the file goes.
  bool SecondPhaseRow(const LogRow& row) {
    ++command_.secondPhaseRows;
    command_.lastSecond = Placement{row.before, row.after, row.localTime};
    // A run sends every file to a screenshot name; only an undo may send one
    // back to a temporary name it bore.
    if (!command_.undo && row.after.IsTemporary()) return Fail();
    if (ownStamp_ != 0 && row.before.stamp == ownStamp_) {
      if (!keepRows_) return true;
      const long at = first_.Find(row.before.shot);
      if (at < 0 || first_.followed[static_cast<std::size_t>(at)]) return Fail();
      first_.followed[static_cast<std::size_t>(at)] = true;
      Placement& placed = first_.rows[static_cast<std::size_t>(at)];
      command_.lastSecond.before = placed.before;
      if (row.ok) {
        if (placed.Stayed()) return Fail();  // never at its temporary name
        placed.after = row.after;
      }
      return true;
    }
    Foreign(Placement{row.before, row.ok ? row.after : row.before, row.localTime});
    return true;
  }

  // A file taken from another command's temporary name.
  void Foreign(const Placement& p) {
    const std::int64_t stamp = stamps_.Stamp(p.before.stamp);
    if (command_.oldestTaken < 0 || stamp < command_.oldestTaken) command_.oldestTaken = stamp;
    if (stamp > command_.newestTaken) command_.newestTaken = stamp;
    if (keepRows_) foreign_.push_back(p);
  }

  bool ResultRow(const LogRow& row) {
    phase_ = LogKind::kResult;
    if (!command_.undo && row.after.IsTemporary()) return Fail();
    ++resultRows_;
    if (!readProcess_) {
      // Without the process log, the result log tells where each file went;
      // where one whose rename failed stands, the temporary names tell.
      if (row.before.IsTemporary()) {
        Foreign(Placement{row.before, row.ok ? row.after : row.before, row.localTime});
      } else if (row.ok && keepRows_) {
        first_.rows.push_back(Placement{row.before, row.after, row.localTime});
        first_.followed.push_back(true);
      }
      return true;
    }
    // The result log's row comes before the process log's: a kill between
    // the two leaves the result log one row ahead, and that row is the one.
    if (resultRows_ <= command_.secondPhaseRows) return true;
    if (resultRows_ > command_.secondPhaseRows + 1) return Fail();
    LogRow asProcess = row;
    if (!row.before.IsTemporary()) {
      if (ownStamp_ == 0) return Fail();
      asProcess.before = FolderName{ownStamp_, row.before.shot};
    }
    return SecondPhaseRow(asProcess);
  }

  void Finish(bool processRows) {
    command_.positional = processRows && !command_.undo;
    for (std::size_t i = 0; i < first_.rows.size(); ++i) {
      if (first_.followed[i]) continue;
      command_.hasCandidate = !first_.rows[i].Stayed();
      command_.candidate = first_.rows[i];
      break;
    }
    if (ownStamp_ != 0) command_.stamp = stamps_.Stamp(ownStamp_);
    // A run's second phase sends the files to the targets in the order of
    // its first phase, so the first-phase rows tell where each went.
    if (command_.positional && command_.oldestTaken < 0) {
      for (std::size_t i = 0; i < first_.rows.size(); ++i) {
        if (first_.followed[i] || first_.rows[i].Stayed()) continue;
        command_.unlogged.push_back(LoggedCommand::Unlogged{
            first_.rows[i], FolderName{0, static_cast<std::uint32_t>(i) << 3 | 7u}});
      }
    }
    std::vector<Placement>& all = command_.placements;
    all = std::move(first_.rows);
    all.insert(all.end(), foreign_.begin(), foreign_.end());
    // Each name moved from at most once, and no two files sent to one name.
    const auto adjacentSame = [&](auto key) {
      std::sort(all.begin(), all.end(), [&](const Placement& a, const Placement& b) { return key(a) < key(b); });
      return std::adjacent_find(all.begin(), all.end(),
                                [&](const Placement& a, const Placement& b) { return key(a) == key(b); }) != all.end();
    };
    if (adjacentSame([](const Placement& p) { return p.before.Key(); }) ||
        adjacentSame([](const Placement& p) { return p.after.Key(); })) {
      Refuse(processRows ? command_.processLog : command_.resultLog);
      command_.placements.clear();
    }
  }

  LogShelf& shelf_;
  StampTable& stamps_;
  LoggedCommand& command_;
  std::vector<LogCut>* cuts_;
  bool keepRows_;  // false: only what places the command among the others (its stamp, whose names it took)
  bool ok_ = true;
  bool titled_ = false;
  bool readProcess_ = false;
  bool inSecondPhase_ = false;
  bool gap_ = false;                 // pages of the process log a cut lost came before
  bool firstPhaseAfterGap_ = false;  // a first-phase row came after such pages
  LogKind phase_ = LogKind::kProcess;
  std::uint32_t ownStamp_ = 0;
  long resultRows_ = 0;
  FirstPhase first_;
  std::vector<Placement> foreign_;
};

}  // namespace

const LoggedCommand* History::Find(const char* digits) const {
  for (const LoggedCommand& c : commands) {
    if (std::strcmp(c.digits, digits) == 0) return &c;
  }
  return nullptr;
}

long History::IndexOfStamp(std::int64_t stamp) const {
  for (std::size_t i = 0; i < commands.size(); ++i) {
    if (commands[i].stamp == stamp) return static_cast<long>(i);
  }
  return -1;
}

void ReadCommand(LogShelf& shelf, StampTable& stamps, LoggedCommand& command, std::vector<LogCut>* cuts) {
  CommandReader(shelf, stamps, command, cuts, true).Read();
}

namespace {

// The commands of the listed log names, newest start time first.
std::vector<LoggedCommand> Group(const std::vector<ListedLog>& logs) {
  std::vector<LoggedCommand> commands;
  for (const auto& [name, written] : logs) {
    char digits[15];
    LogKind kind;
    if (!ParseLogFileName(name, digits, &kind)) continue;
    auto at = std::find_if(commands.begin(), commands.end(),
                           [&](const LoggedCommand& c) { return std::strcmp(c.digits, digits) == 0; });
    if (at == commands.end()) {
      commands.emplace_back();
      at = commands.end() - 1;
      std::memcpy(at->digits, digits, sizeof digits);
      at->processLog[0] = at->resultLog[0] = '\0';
    }
    char(&slot)[32] = kind == LogKind::kProcess ? at->processLog : at->resultLog;
    std::snprintf(slot, sizeof slot, "%s", name.c_str());
    if (kind == LogKind::kProcess || at->written < 0) at->written = written;
  }
  std::sort(commands.begin(), commands.end(),
            [](const LoggedCommand& a, const LoggedCommand& b) { return std::strcmp(a.digits, b.digits) > 0; });
  return commands;
}

// A local time is at most fourteen hours ahead of UTC and twelve behind.
constexpr std::int64_t kDay = 26 * 3600;

// The stamp of a command that logged none: the one a temporary name bears
// (in the folder, or in another command's rows) whose second its log names
// show, in any time zone, and which no other command has. A command that
// logged no rename and left no such name did nothing. False when none is
// found.
bool FindStamp(LoggedCommand& command, const StampTable& stamps, const std::vector<LoggedCommand>& all) {
  for (std::uint32_t i = 1; i <= stamps.size(); ++i) {
    const std::int64_t stamp = stamps.Stamp(i);
    if (!PlausibleStamp(command.digits, stamp)) continue;
    if (std::none_of(all.begin(), all.end(), [&](const LoggedCommand& c) { return c.stamp == stamp; })) {
      command.stamp = stamp;
      return true;
    }
  }
  // (An undo that moved nothing still took its entry back.)
  if (command.placements.empty() && !command.undo) {
    command.state = LogState::kNothing;
    return false;
  }
  command.offsetGuessed = true;
  // The time its log was written is its stamp, or a moment after: the
  // offset is the quarter hour nearest to the difference.
  std::int64_t stamp;
  if (command.written >= 0 && StampNearWritten(command.digits, command.written, &stamp)) {
    command.stamp = stamp;
    return true;
  }
  if (!StampOfDigitsNow(command.digits, &stamp)) return false;
  command.stamp = stamp;
  return true;
}

// A command killed after it made its process log and before it wrote the
// head renamed nothing, unless a temporary name bears a second its log's
// name can show (a head that a full disk refused, the command going on):
// then what it did is not known.
void Unstarted(LoggedCommand& command, const StampTable& stamps, const std::vector<LoggedCommand>& all) {
  for (std::uint32_t i = 1; i <= stamps.size(); ++i) {
    const std::int64_t stamp = stamps.Stamp(i);
    if (PlausibleStamp(command.digits, stamp) &&
        std::none_of(all.begin(), all.end(), [&](const LoggedCommand& c) { return c.stamp == stamp; })) {
      command.state = LogState::kUnreadable;
      std::snprintf(command.problem, sizeof command.problem, "%s", command.processLog);
      return;
    }
  }
  command.state = LogState::kNothing;
}

// The stamp of a command whose every file came from an earlier command's
// temporary names (so none of its rows bears its own stamp): a file's time
// as both commands' rows show it tells the difference of their offsets, and
// the earlier one's offset is known.
bool StampOfTaken(LoggedCommand& command, const History& history) {
  for (const Placement& p : command.placements) {
    if (!p.before.IsTemporary() || p.localTime == kUndatedRow) continue;
    const long k = history.IndexOfStamp(history.stamps.Stamp(p.before.stamp));
    if (k < 0) continue;
    const LoggedCommand& earlier = history.commands[static_cast<std::size_t>(k)];
    const auto q = std::lower_bound(earlier.placements.begin(), earlier.placements.end(), p.before,
                                    [](const Placement& a, FolderName n) { return a.after < n; });
    if (q == earlier.placements.end() || !(q->after == p.before) || q->localTime == kUndatedRow) continue;
    const std::int64_t shift = p.localTime - q->localTime;
    if (shift % 100 != 0) continue;
    const std::int64_t stamp = StampOfOffset(command.digits, earlier.offset + shift / 100);
    if (!PlausibleStamp(command.digits, stamp)) continue;
    command.stamp = stamp;
    return true;
  }
  return false;
}

// The stamp the entry of the command stamped `stamp` begins at: a run that
// took files from an earlier command's temporary names is one entry with
// it and everything between, and so on back.
std::int64_t EntryStart(const std::vector<LoggedCommand>& commands, std::int64_t stamp) {
  std::int64_t start = stamp;
  for (bool grew = true; grew;) {
    grew = false;
    for (const LoggedCommand& c : commands) {
      if (c.oldestTaken < 0 || c.oldestTaken >= start || c.stamp < start) continue;
      start = c.oldestTaken;
      grew = true;
    }
  }
  return start;
}

// Of a command read for an undo of `target`: whether its rows can matter.
// A command that began before the one undone is read for its place among
// the commands alone when no file bears its temporary names, it is of no
// entry with a later command, and the one undone neither takes it back nor
// repeats its undo.
bool RowsCanMatter(const LoggedCommand& command, const LoggedCommand* target, const StampTable& stamps,
                   std::uint32_t folderStamps, const std::vector<LoggedCommand>& read) {
  if (target == nullptr || &command == target || target->stamp < 0 || command.stamp < 0) return true;
  if (command.stamp >= target->stamp || command.state != LogState::kRead) return true;
  if (target->undo && std::strcmp(target->undoneDigits, command.digits) == 0) return true;
  if (target->undo && command.undo && std::strcmp(target->undoneDigits, command.undoneDigits) == 0) return true;
  const std::uint32_t index = stamps.Find(command.stamp);
  return (index != 0 && index <= folderStamps) || command.stamp >= EntryStart(read, target->stamp);
}

}  // namespace

void ReadHistory(LogShelf& shelf, std::int64_t horizon, History* out, const char* undoing) {
  History& history = *out;
  std::vector<ListedLog> logs;
  history.listed = shelf.List(&logs);
  std::vector<LoggedCommand> listed = Group(logs);
  const auto folderStamps = static_cast<std::uint32_t>(history.stamps.size());
  std::int64_t reach = horizon;
  // An undo keeps in memory the rows of the commands that can matter to it
  // alone: a folder renumbered again and again holds a million rows a
  // command. A command its name tells began before the one undone is read
  // first for its place among the others; its rows are read when that
  // place, or a later find, makes them matter.
  long target = -1;
  std::vector<std::pair<std::size_t, LoggedCommand>> letGo;
  for (LoggedCommand& command : listed) {
    // Anything that may have started at the reach or later is read.
    if (DigitsAsUtc(command.digits) + kDay < reach) continue;
    const LoggedCommand unread = command;
    const std::size_t cuts = history.cuts.size();
    const bool earlier = target >= 0 && std::strcmp(command.digits, undoing) < 0;
    CommandReader(shelf, history.stamps, command, &history.cuts, !earlier).Read();
    if (earlier) {
      const LoggedCommand& undone = history.commands[static_cast<std::size_t>(target)];
      if (RowsCanMatter(command, &undone, history.stamps, folderStamps, history.commands)) {
        history.cuts.resize(cuts);
        command = unread;
        ReadCommand(shelf, history.stamps, command, &history.cuts);
      } else {
        letGo.emplace_back(history.commands.size(), unread);
      }
    }
    if (command.oldestTaken >= 0 && command.oldestTaken < reach) reach = command.oldestTaken;
    if (undoing != nullptr && std::strcmp(command.digits, undoing) == 0) {
      target = static_cast<long>(history.commands.size());
    }
    history.commands.push_back(std::move(command));
  }
  const std::int64_t start =
      target < 0 ? -1 : EntryStart(history.commands, history.commands[static_cast<std::size_t>(target)].stamp);
  for (auto& [at, unread] : letGo) {
    if (history.commands[at].stamp < start) continue;
    const std::size_t cuts = history.cuts.size();
    ReadCommand(shelf, history.stamps, unread, &history.cuts);
    history.cuts.resize(cuts);  // noted when it was first read
    history.commands[at] = std::move(unread);
  }
  for (LoggedCommand& command : history.commands) {
    if (command.state == LogState::kUnstarted) Unstarted(command, history.stamps, history.commands);
    if (command.state == LogState::kUnreadable || command.stamp < 0) continue;
    if (!PlausibleStamp(command.digits, command.stamp)) {
      // The stamp of its temporary names is not of the second its name shows.
      command.state = LogState::kUnreadable;
      std::snprintf(command.problem, sizeof command.problem, "%s", command.Name());
      continue;
    }
    command.offset = OffsetOfStamp(command.digits, command.stamp);
  }
  for (LoggedCommand& command : history.commands) {
    if (command.state == LogState::kUnreadable || command.stamp >= 0) continue;
    if (!StampOfTaken(command, history) && !FindStamp(command, history.stamps, history.commands)) continue;
    command.offset = OffsetOfStamp(command.digits, command.stamp);
  }
  // Oldest first; a command whose stamp is not known goes by its name.
  // A command comes after those whose temporary names it took files from,
  // whatever a stamp that only today's time zone could tell says.
  const auto when = [](const LoggedCommand& c) {
    const std::int64_t stamp = c.stamp >= 0 ? c.stamp : DigitsAsUtc(c.digits);
    return stamp > c.newestTaken ? stamp : c.newestTaken + 1;
  };
  std::stable_sort(history.commands.begin(), history.commands.end(),
                   [&](const LoggedCommand& a, const LoggedCommand& b) { return when(a) < when(b); });
}

}  // namespace shotrenum
