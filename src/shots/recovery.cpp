#include "shots/recovery.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "rename/log_reader.h"
#include "rename/row_time.h"
#include "shots/order.h"

namespace shotrenum {

namespace {

// keyRun is one byte: runs beyond these are read as if their logs were gone.
constexpr std::size_t kMostRuns = 250;

// One run whose logs are read.
struct Journal {
  std::int64_t stamp;
  bool examined;
  bool usable;                          // its log was found and every row checked
  bool hasCandidate;                    // a rename its kill may have left unlogged (below)
  bool candidateLive;                   // no later run moved the candidate's temporary name
  char candidate[kShotNameLength + 1];  // the name in that temporary name
  long candidatePosition;               // the target the rename went to
  long phase2Rows;                      // the rows of its second phase
  bool positional;                      // a run's process log: the second phase
                                        // goes through the positions, and the
                                        // first tells the names it held
};

std::string ProcessLogName(std::int64_t stamp) {
  CalendarTime start{};
  LocalCalendarOfStamp(stamp, &start);
  char name[64];
  LogFileName(name, LogKind::kProcess, start);
  return name;
}

// Opens the process log of the run, else its result log.
std::FILE* OpenJournal(std::int64_t stamp, LogReader* reader) {
  CalendarTime start{};
  if (!LocalCalendarOfStamp(stamp, &start)) return nullptr;
  for (const LogKind kind : {LogKind::kProcess, LogKind::kResult}) {
    char name[64];
    LogFileName(name, kind, start);
    std::FILE* file = OpenFileForReading(name);
    if (file == nullptr) continue;
    if (ReadLogHead(reader, file) && reader->head.kind == kind) return file;
    std::fclose(file);
    return nullptr;  // a file at the name that is no log of this tool
  }
  return nullptr;
}

std::size_t IndexOfStamp(const std::vector<Journal>& runs, std::int64_t stamp) {
  return static_cast<std::size_t>(
      std::lower_bound(runs.begin(), runs.end(), stamp, [](const Journal& j, std::int64_t s) { return j.stamp < s; }) -
      runs.begin());
}

// Keeps the latest kMostRuns: the latest runs decide the most.
void AddRun(std::vector<Journal>* runs, std::int64_t stamp) {
  std::size_t at = IndexOfStamp(*runs, stamp);
  if (at < runs->size() && (*runs)[at].stamp == stamp) return;
  if (runs->size() == kMostRuns) {
    if (at == 0) return;
    runs->erase(runs->begin());
    --at;
  }
  runs->insert(runs->begin() + static_cast<long>(at), Journal{stamp, false, false, false, false, {}, 0, 0, false});
}

// Reads the run's log through: checks every row, notes the earlier runs its
// second phase took screenshots from (into `earlier`), and looks for a
// rename its kill may have left unlogged.
void Examine(Journal* run, std::vector<std::int64_t>* earlier) {
  run->examined = true;
  LogReader reader;
  std::FILE* file = OpenJournal(run->stamp, &reader);
  if (file == nullptr) return;
  LogRow row;
  LogStep step;
  long phase2 = 0;
  char lastTarget[kTempNameRoom] = "";
  while ((step = ReadLogRow(&reader, &row)) == LogStep::kRow) {
    if (!IsPhase2Row(row)) continue;
    // The second phase goes through the targets in ascending order.
    if (phase2 > 0 && std::strcmp(row.after, lastTarget) <= 0) break;
    std::strcpy(lastTarget, row.after);
    ++phase2;
    if (row.beforeStamp >= 0 && row.beforeStamp != run->stamp) earlier->push_back(row.beforeStamp);
  }
  const bool process = reader.head.kind == LogKind::kProcess;
  run->usable = step == LogStep::kEnd && (!process || reader.stamp < 0 || reader.stamp == run->stamp);
  run->phase2Rows = phase2;
  // An undo's second phase goes to the names before a run, not to positions;
  // only a process log tells whether the next target was held.
  run->positional = process && !reader.head.undo;
  std::fclose(file);
  LogRow unlogged;
  if (run->usable && run->positional && phase2 < kMaxShots &&
      FindUnloggedRename(ProcessLogName(run->stamp).c_str(), run->stamp, &unlogged)) {
    run->hasCandidate = true;
    run->candidateLive = true;
    std::memcpy(run->candidate, unlogged.beforeShot, kShotNameLength + 1);
    run->candidatePosition = phase2;
  }
}

bool ByOrderName(const ShotRecord& a, const ShotRecord& b) { return std::strcmp(a.target, b.target) < 0; }

// The records whose name in `target` is `name` at the start of a run after
// run j: those the run j may have moved.
template <typename Visit>
void ForEachAfter(ShotRecord* records, long n, const char* name, std::size_t j, Visit visit) {
  ShotRecord probe{};
  std::memcpy(probe.target, name, kShotNameLength + 1);
  ShotRecord* end = records + n;
  for (ShotRecord* r = std::lower_bound(records, end, probe, ByOrderName);
       r != end && std::strcmp(r->target, name) == 0; ++r) {
    if (r->keyRun > j) visit(*r);
  }
}

// Run j moved the file now named `before` by its row to `after`: from here on
// the file is known by the name it had at the start of that run (or of the
// earlier run whose temporary name it bore).
void TakeBack(ShotRecord& record, const std::vector<Journal>& runs, std::size_t j, std::int64_t beforeStamp,
              const char* beforeShot) {
  std::memcpy(record.target, beforeShot, kShotNameLength + 1);
  const bool earlier = beforeStamp >= 0 && beforeStamp != runs[j].stamp;
  record.keyRun = static_cast<std::uint8_t>(earlier ? IndexOfStamp(runs, beforeStamp) : j);
}

// Applies run j's log to the records, from the latest state back to the one
// before run j: a file run j moved to a target is known by its name before;
// a name run j moved away from without moving anything to it now belongs to
// a file from outside these runs, which keeps it.
void Apply(ShotRecord* records, long n, std::vector<Journal>& runs, std::size_t j) {
  LogReader reader;
  std::FILE* file = OpenJournal(runs[j].stamp, &reader);
  if (file == nullptr) return;
  ShotRecord* end = records + n;
  std::sort(records, end, ByOrderName);
  // The second phase's targets ascend, and so do the records: one merge.
  ShotRecord* cursor = records;
  const auto moveIn = [&](const char* target, std::int64_t beforeStamp, const char* beforeShot) {
    while (cursor != end && std::strcmp(cursor->target, target) < 0) ++cursor;
    // The range first: a record taken back no longer sorts where it stands.
    ShotRecord* last = cursor;
    while (last != end && std::strcmp(last->target, target) == 0) ++last;
    for (; cursor != last; ++cursor) {
      if (cursor->keyRun > j) TakeBack(*cursor, runs, j, beforeStamp, beforeShot);
    }
  };
  LogRow row;
  // The last second-phase row: its file came just before the one a kill
  // may have moved unlogged.
  std::int64_t lastStamp = -1;
  char lastShot[kShotNameLength + 1] = "";
  char lastTime[kLogTimeRoom] = "";
  // The next target, and whether a file the run failed to move bears it.
  char next[kShotNameLength + 1] = "";
  if (runs[j].phase2Rows < kMaxShots) WriteTargetName(next, runs[j].phase2Rows);
  bool nextHeld = false;
  while (ReadLogRow(&reader, &row) == LogStep::kRow) {
    if (!IsPhase2Row(row)) {
      nextHeld = nextHeld || (!row.ok && std::strcmp(row.before, next) == 0);
      continue;
    }
    lastStamp = row.beforeStamp;
    std::memcpy(lastShot, row.beforeShot, sizeof lastShot);
    std::memcpy(lastTime, row.time, sizeof lastTime);
    if (row.beforeStamp >= 0 && row.beforeStamp != runs[j].stamp) {
      // A later rename of an earlier run's temporary name: that name was
      // still there, so no kill of the earlier run moved it unlogged.
      const std::size_t k = IndexOfStamp(runs, row.beforeStamp);
      if (k < runs.size() && runs[k].stamp == row.beforeStamp && runs[k].hasCandidate &&
          std::strcmp(runs[k].candidate, row.beforeShot) == 0) {
        runs[k].candidateLive = false;
      }
    }
    if (row.ok) moveIn(row.after, row.beforeStamp, row.beforeShot);
  }
  if (next[0] != '\0') {
    const char* target = next;
    if (runs[j].hasCandidate && runs[j].candidateLive) {
      moveIn(target, runs[j].stamp, runs[j].candidate);
    } else if (!nextHeld && runs[j].positional) {
      // No temporary name of the run's own went there, yet a file stands at
      // the next target that no row explains: a kill moved an earlier run's
      // screenshot there, unlogged, and which one no row tells. It came
      // right after the last row's file: with that file's time it shares
      // its name (the target names then order the two), with a later time
      // it comes first among its equals.
      std::int64_t offset = 0;
      CalendarTime start{};
      LocalCalendarOfStamp(runs[j].stamp, &start);
      char digits[16];
      LogDigits(digits, start);
      RunOffset(digits, runs[j].stamp, &offset);
      while (cursor != end && std::strcmp(cursor->target, target) < 0) ++cursor;
      for (ShotRecord* r = cursor; r != end && std::strcmp(r->target, target) == 0; ++r) {
        if (r->keyRun <= j) continue;
        char shown[kLogTimeRoom];
        RowTimeText(r->writeTime, offset, shown);
        if (lastShot[0] != '\0' && std::strcmp(shown, lastTime) == 0) {
          TakeBack(*r, runs, j, lastStamp, lastShot);
        } else {
          std::memcpy(r->target, "\x01", 2);  // before every name
          r->keyRun = 0;
        }
      }
    }
  }
  // Names the first phase moved away from.
  std::sort(records, end, ByOrderName);
  std::rewind(file);
  ReadLogHead(&reader, file);
  while (ReadLogRow(&reader, &row) == LogStep::kRow && !IsPhase2Row(row)) {
    if (row.ok) ForEachAfter(records, n, row.before, j, [](ShotRecord& r) { r.keyRun = 0; });
  }
  std::fclose(file);
}

// Every run whose logs stand in the folder from the second `oldest` on: each
// of them had the screenshots at the oldest temporary name in its set, as
// they are still there, and ordered the others by the names its logs tell —
// also a run that placed every screenshot but those, whose stamp no
// temporary name bears.
void AddLaterRuns(std::vector<Journal>* runs, std::int64_t oldest) {
  CalendarTime start{};
  if (!LocalCalendarOfStamp(oldest, &start)) return;
  char oldestDigits[16];
  if (!LogDigits(oldestDigits, start)) return;
  LogKind kind;
  ShotSearch* search = StartLogSearch();
  if (search == nullptr) return;
  ShotEntry entry;
  while (NextShotEntry(search, &entry) == ListingStep::kEntry) {
    char digits[15];
    std::int64_t stamp;
    if (!entry.isDirectory && ReadLogFileName(entry.name, digits, &kind) && std::strcmp(digits, oldestDigits) >= 0 &&
        StampOfDigits(digits, &stamp) && stamp >= oldest) {
      AddRun(runs, stamp);
    }
  }
  EndShotSearch(search);
}

}  // namespace

void RecoverOrderNames(ShotRecord* records, long n) {
  std::vector<Journal> runs;
  for (long i = 0; i < n; ++i) {
    if (records[i].stranded) AddRun(&runs, StrandedStamp(records[i]));
  }
  if (runs.empty()) return;

  // Every run the stranded screenshots name, every earlier run those runs
  // took screenshots from, and every run since the oldest of them.
  std::vector<std::int64_t> earlier;
  std::int64_t laterThan = -1;
  for (bool grew = true; grew;) {
    grew = false;
    if (runs.front().stamp != laterThan) {
      laterThan = runs.front().stamp;
      AddLaterRuns(&runs, laterThan);
    }
    for (std::size_t j = 0; j < runs.size() && !grew; ++j) {
      if (runs[j].examined) continue;
      earlier.clear();
      Examine(&runs[j], &earlier);
      const std::size_t before = runs.size();
      for (const std::int64_t stamp : earlier) AddRun(&runs, stamp);
      grew = runs.size() != before;  // indices moved: look again from the start
    }
    grew = grew || runs.front().stamp != laterThan;
  }

  // Every record starts as the file its name bears now, or bore at the start
  // of the run whose temporary name it bears.
  for (long i = 0; i < n; ++i) {
    ShotRecord& r = records[i];
    std::memcpy(r.target, r.name, kShotNameLength + 1);
    r.keyRun = static_cast<std::uint8_t>(r.stranded ? IndexOfStamp(runs, StrandedStamp(r)) : runs.size());
    for (Journal& run : runs) {
      // A temporary name still present was not renamed unlogged.
      if (run.hasCandidate && r.stranded && StrandedStamp(r) == run.stamp && std::strcmp(r.name, run.candidate) == 0) {
        run.candidateLive = false;
      }
    }
  }
  for (std::size_t j = runs.size(); j-- > 0;) {
    if (runs[j].usable) Apply(records, n, runs, j);
  }
  for (long i = 0; i < n; ++i) records[i].keyRun = 0;
}

}  // namespace shotrenum
