// Every history of up to three commands (runs, undos, and edits a user
// makes) over up to four screenshots, on each way a file system renames,
// with a kill before every step of every command, run in memory against two
// rules:
//  - a killed command given again ends as the uninterrupted one would;
//  - undoing the runs newest first until none stands gives the start.
// Along the way nothing is ever lost or left at two names.
//
// SHOTRENUM_HISTORY_TRACE=<a failure's label> prints that history's undos;
// SHOTRENUM_HISTORY_FAILURES=<n> shows up to n failures (20 by default).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "memory_folder.h"
#include "platform/filetime.h"
#include "shots/shot_name.h"
#include "shots/temp_name.h"

namespace shotrenum::testing {
namespace {

using Files = std::map<std::string, std::pair<std::string, std::uint64_t>>;

std::uint64_t Ticks(std::int64_t seconds) { return FileTimeTicks(FileTimeFromUnix(seconds, 0)); }

Files FilesOf(const MemoryFolder& folder) {
  Files files;
  for (const auto& [name, file] : folder.files) files[name] = {file.content, file.ticks};
  return files;
}

std::string Show(const Files& files) {
  std::ostringstream out;
  for (const auto& [name, file] : files) out << name << "=" << file.first << "@" << file.second << " ";
  return out.str();
}

// Whether undoing every run left the start: each file at its name, or, for
// one an earlier run left at a temporary name whose logs are gone, at the
// name in it (undoing a run that took it from there leaves it there).
//
// One thing no log can tell: a run killed between the second-phase rename of
// such a file and that rename's row leaves it at a target, and from which
// temporary name it came is known nowhere. An undo leaves it where it is
// (and says so), and the files whose way back it holds: after a killed run
// over such a folder, every file is still there once.
bool IsStart(const Files& files, const Files& start, bool killedRun) {
  if (files.size() != start.size()) return false;
  bool logsGone = false;
  bool same = true;
  for (const auto& [name, file] : start) {
    std::int64_t stamp;
    const char* inner = ReadTempStamp(name.c_str(), &stamp);
    logsGone = logsGone || inner != nullptr;
    auto at = files.find(name);
    if (at == files.end() && inner != nullptr) at = files.find(inner);
    same = same && at != files.end() && at->second == file;
  }
  if (same) return true;
  if (!logsGone || !killedRun) return false;
  for (const auto& [name, file] : start) {
    if (std::none_of(files.begin(), files.end(), [&](const auto& f) { return f.second == file; })) return false;
  }
  return true;
}

enum class Op { kRun, kUndoNewest, kUndoSecond, kNewShot, kNewTime, kDelete };

const char* NameOf(Op op) {
  switch (op) {
    case Op::kRun:
      return "run";
    case Op::kUndoNewest:
      return "undo-newest";
    case Op::kUndoSecond:
      return "undo-second";
    case Op::kNewShot:
      return "new-shot";
    case Op::kNewTime:
      return "new-time";
    case Op::kDelete:
      return "delete";
  }
  return "?";
}

bool IsEdit(Op op) { return op == Op::kNewShot || op == Op::kNewTime || op == Op::kDelete; }

// A history being played: the folder, and the digits of the commands that
// left logs, in the order they ran (with whether each was a run).
struct Play {
  MemoryFolder folder;
  std::vector<std::pair<std::string, bool>> commands;
  Files start;
  int edits = 0;
  bool deleted = false;    // a screenshot was deleted
  bool killedRun = false;  // a run was killed
  bool tracing = false;

  // The command a step of the history gives: a run, or the undo of the
  // newest or the second newest command.
  std::function<void()> Command(Op op) {
    switch (op) {
      case Op::kRun:
        return [this] { Logged(true, [&] { RunIn(folder); }); };
      case Op::kUndoNewest:
      case Op::kUndoSecond: {
        const std::size_t back = op == Op::kUndoNewest ? 1 : 2;
        if (commands.size() < back) return nullptr;
        const std::string target = commands[commands.size() - back].first;
        return [this, target] { Logged(false, [&] { UndoIn(folder, target); }); };
      }
      default:
        return [this, op] { Edit(op); };
    }
  }

  // Notes the command if it left logs.
  void Logged(bool run, const std::function<void()>& command) {
    const std::string digits = folder.Digits();
    char name[64];
    LogFileName(name, LogKind::kProcess, digits.c_str());
    struct Note {
      Play* play;
      std::string digits;
      std::string name;
      bool run;
      ~Note() {
        if (play->folder.logs.count(name) != 0) play->commands.emplace_back(digits, run);
      }
    } note{this, digits, name, run};
    command();
  }

  // A new screenshot at a name one had at the start and no file bears now;
  // a file's time changed; a file deleted.
  void Edit(Op op) {
    ++edits;
    const std::uint64_t later = Ticks(1600000000 + edits);
    if (op == Op::kNewShot) {
      for (const auto& [name, file] : start) {
        if (folder.files.count(name) != 0) continue;
        folder.Add(name, "new " + std::to_string(edits), later);
        return;
      }
      return;
    }
    for (auto& [name, file] : folder.files) {
      if (!IsShotName(name.c_str(), false)) continue;
      if (op == Op::kDelete) {
        folder.files.erase(name);
        deleted = true;
        return;
      }
      // Every name of the file shows its new time.
      const int id = file.id;
      for (auto& [other, same] : folder.files) {
        if (same.id == id) same.ticks = later;
      }
      return;
    }
  }

  // Undoes the runs newest first until none stands; false when undos go on
  // being made past any reason.
  bool UndoAll() {
    int undos = 0;
    for (bool progress = true; progress;) {
      if (++undos > 12) return false;
      progress = false;
      for (std::size_t i = commands.size(); i-- > 0 && !progress;) {
        if (!commands[i].second) continue;
        const std::size_t before = commands.size();
        Logged(false, [&] {
          const bool done = UndoIn(folder, commands[i].first);
          if (tracing) std::printf("  undo %s: %d\n", commands[i].first.c_str(), done);
        });
        progress = commands.size() != before;
      }
    }
    return true;
  }
};

struct Start {
  const char* label;
  std::vector<std::pair<const char*, std::int64_t>> files;  // name, time in seconds
};

const std::vector<Start>& Starts() {
  static const std::vector<Start> all = {
      {"one", {{"G0000001.pcx", 10}}},
      {"two swapped", {{"G0000001.pcx", 10}, {"G0000000.pcx", 20}}},
      {"two equal", {{"G0000002.pcx", 10}, {"G0000001.pcx", 10}}},
      {"three", {{"G0000002.pcx", 10}, {"G0000000.pcx", 20}, {"G0000001.pcx", 30}}},
      {"three equal", {{"G0000003.pcx", 10}, {"G0000001.pcx", 10}, {"G0000000.pcx", 20}}},
      {"four equal", {{"G0000004.pcx", 10}, {"G0000002.pcx", 10}, {"G0000001.pcx", 10}, {"G0000000.pcx", 10}}},
      {"four", {{"G0000003.pcx", 10}, {"G0000002.pcx", 20}, {"G0000000.pcx", 20}, {"G0000001.pcx", 30}}},
      {"stranded without logs", {{"G0000001.pcx", 10}, {"_tmp_5_G0000000.pcx", 20}}},
      {"stranded equal without logs", {{"G0000003.pcx", 10}, {"_tmp_5_G0000001.pcx", 10}, {"G0000000.pcx", 10}}},
      {"stranded first among equals",
       {{"G0000005.pcx", 10}, {"G0000006.pcx", 10}, {"_tmp_5_G0000000.pcx", 30}, {"G0000001.pcx", 30}}},
      {"two stranded without logs", {{"_tmp_5_G0000002.pcx", 10}, {"G0000001.pcx", 10}, {"_tmp_5_G0000000.pcx", 20}}},
  };
  return all;
}

struct Tally {
  long histories = 0;
  long kills = 0;
  long failures = 0;
};

class Histories : public ::testing::Test {
 protected:
  void Check(bool ok, const std::string& what) {
    if (ok) return;
    if (++tally_.failures <= failuresShown_) ADD_FAILURE() << what;
  }

  // Nothing lost; and, after a command that did something, nothing at two
  // names and nothing half done (a refused command touches nothing, not
  // even what a kill left).
  void CheckWhole(const Play& play, const std::string& where, bool acted) {
    std::map<int, int> names;
    for (const auto& [name, file] : play.folder.files) {
      ++names[file.id];
      Check(!acted || play.deleted || !file.content.empty(), where + ": an empty file " + name + " stays");
    }
    for (const auto& [id, count] : names) Check(!acted || count == 1, where + ": a file at two names");
    // (A file that a kill left as an empty reservation, whose screenshot the
    // user then deleted, is no reservation any more: it is an empty file.)
    if (play.edits == 0) {
      Check(play.folder.files.size() == play.start.size(),
            where + ": files lost or added: " + Show(FilesOf(play.folder)));
    }
  }

  void PlayOne(const Start& start, RenamePath path, bool zones, const std::vector<Op>& ops, long killedOp, long killAt,
               bool giveAgain) {
    Play play;
    play.folder.path = path;
    for (const auto& [name, seconds] : start.files) play.folder.Add(name, std::string("shot ") + name, Ticks(seconds));
    play.start = FilesOf(play.folder);
    std::ostringstream label;
    label << start.label << " path " << static_cast<int>(path) << (zones ? " zones" : "") << ":";
    for (std::size_t i = 0; i < ops.size(); ++i) {
      label << " " << NameOf(ops[i])
            << (static_cast<long>(i) == killedOp
                    ? "(killed at " + std::to_string(killAt) + (giveAgain ? ", again)" : ")")
                    : "");
    }
    const std::string where = label.str();
    const char* trace = std::getenv("SHOTRENUM_HISTORY_TRACE");
    const bool tracing = trace != nullptr && where == trace;
    for (std::size_t i = 0; i < ops.size(); ++i) {
      // A time zone that changes between commands (a half hour's among
      // them), and days that pass between them.
      if (zones) {
        constexpr std::int64_t kZones[] = {9 * 3600, -5 * 3600, 5 * 3600 + 1800};
        play.folder.offset = kZones[i % 3];
        play.folder.clock += 86400 + 1;
      }
      auto command = play.Command(ops[i]);
      if (!command) continue;  // no command of that kind to undo
      if (static_cast<long>(i) != killedOp) {
        const Files before = FilesOf(play.folder);
        const std::size_t logs = play.folder.logs.size();
        command();
        if (!IsEdit(ops[i])) {
          CheckWhole(play, where, FilesOf(play.folder) != before || play.folder.logs.size() != logs);
        }
        continue;
      }
      // The same command, uninterrupted, on a copy.
      Play uninterrupted = play;
      uninterrupted.Command(ops[i])();
      play.folder.steps = 0;
      play.folder.killAt = killAt;
      bool killed = false;
      try {
        command();
      } catch (const Killed&) {
        killed = true;
      }
      play.folder.killAt = -1;
      if (!killed) return;  // past the command's last step: no kill
      ++tally_.kills;
      play.killedRun = play.killedRun || ops[i] == Op::kRun;
      if (!giveAgain) continue;
      command();
      CheckWhole(play, where + " (given again)", true);
      Check(FilesOf(play.folder) == FilesOf(uninterrupted.folder), where + ": given again ends as\n  " +
                                                                       Show(FilesOf(play.folder)) + "\nnot as\n  " +
                                                                       Show(FilesOf(uninterrupted.folder)));
    }
    ++tally_.histories;
    play.tracing = tracing;
    if (tracing) std::printf("before undoing all: %s\n", Show(FilesOf(play.folder)).c_str());
    if (tracing)
      for (const auto& [d, run] : play.commands) std::printf("  command %s %s\n", d.c_str(), run ? "run" : "undo");
    const std::size_t logs = play.folder.logs.size();
    Check(play.UndoAll(), where + ": undos go on and on");
    if (tracing) std::printf("after: %s\n", Show(FilesOf(play.folder)).c_str());
    CheckWhole(play, where + " (all undone)", play.folder.logs.size() != logs);
    if (play.edits == 0) {
      Check(IsStart(FilesOf(play.folder), play.start, play.killedRun), where + ": all undone ends as\n  " +
                                                                           Show(FilesOf(play.folder)) +
                                                                           "\nnot as the start\n  " + Show(play.start));
    }
  }

  Tally tally_;
  long failuresShown_ =
      std::getenv("SHOTRENUM_HISTORY_FAILURES") ? std::atol(std::getenv("SHOTRENUM_HISTORY_FAILURES")) : 20;
};

TEST_F(Histories, KilledCommandsGivenAgainAndUndosNewestFirst) {
  std::vector<std::vector<Op>> histories;
  const Op followers[] = {Op::kRun, Op::kUndoNewest, Op::kUndoSecond, Op::kNewShot, Op::kNewTime, Op::kDelete};
  histories.push_back({Op::kRun});
  for (const Op second : followers) {
    histories.push_back({Op::kRun, second});
    for (const Op third : followers) histories.push_back({Op::kRun, second, third});
  }
  const RenamePath paths[] = {RenamePath::kNoReplace, RenamePath::kLink, RenamePath::kReservation};
  for (const Start& start : Starts()) {
    for (const RenamePath path : paths) {
      for (const bool zones : {false, true}) {
        if (zones && path != RenamePath::kNoReplace) continue;
        for (const auto& ops : histories) {
          PlayOne(start, path, zones, ops, -1, -1, false);
          for (long killed = 0; killed < static_cast<long>(ops.size()); ++killed) {
            if (IsEdit(ops[static_cast<std::size_t>(killed)])) continue;
            for (long at = 1; at < 200; ++at) {
              const long before = tally_.kills;
              PlayOne(start, path, zones, ops, killed, at, true);
              if (tally_.kills == before) break;  // no step that far: the whole command ran
              PlayOne(start, path, zones, ops, killed, at, false);
            }
          }
        }
      }
    }
  }
  std::printf("%ld histories played (%ld of them with a killed command), %ld failures\n", tally_.histories,
              tally_.kills, tally_.failures);
  EXPECT_EQ(tally_.failures, 0);
}

// Another program cuts a log of a run or an undo as its rows are stored (at
// any row of either log, or after the last; to nothing or partway): the
// command writes that log whole again, so the folder reads as if nothing had
// happened. Its files move as the uncut command moves them, its logs hold the
// very bytes the uncut command's hold, verdicts of renames that failed
// included, and the undo given again finds the start.
TEST(LogCutUnderneath, IsWrittenWholeAgainAsTheUncutCommandWritesIt) {
  MemoryFolder start;
  for (int i = 0; i < 4; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "G%07d.pcx", i);
    start.Add(name, std::string("shot ") + name, Ticks(1600000000 - i * 60));
  }
  // A folder at a target name: that file's second rename fails, and its rows
  // say NG.
  start.folders.insert("G0000004.pcx");
  start.Add("G0000005.pcx", "shot 5", Ticks(1500000000));
  // And a folder at the temporary name the run gives G0000001.pcx: its first
  // rename fails.
  char temp[kTempNameRoom];
  TempName(temp, start.clock, "G0000001.pcx");
  start.folders.insert(temp);
  const std::string runDigits = start.Digits();
  MemoryFolder uncutRun = start;
  RunIn(uncutRun);
  MemoryFolder uncutUndo = uncutRun;
  const std::string undoDigits = uncutUndo.Digits();
  ASSERT_TRUE(UndoIn(uncutUndo, runDigits));
  ASSERT_EQ(FilesOf(uncutUndo), FilesOf(start));

  // The rows of a command's log of `kind` (its head takes two lines).
  const auto rowsOf = [](const MemoryFolder& folder, const std::string& digits, LogKind kind) {
    char name[64];
    LogFileName(name, kind, digits.c_str());
    const std::string& bytes = folder.logs.at(name);
    return static_cast<long>(std::count(bytes.begin(), bytes.end(), '\n')) - 2;
  };
  for (const LogKind log : {LogKind::kProcess, LogKind::kResult}) {
    const long runRows = rowsOf(uncutRun, runDigits, log);
    const long undoRows = rowsOf(uncutUndo, undoDigits, log);
    ASSERT_GT(runRows, undoRows);  // the file that did not move stays
    for (long at = 0; at <= runRows; ++at) {
      for (const std::size_t keep : {std::size_t{0}, std::size_t{50}}) {
        SCOPED_TRACE(std::to_string(log == LogKind::kProcess) + " row " + std::to_string(at) + " keep " +
                     std::to_string(keep));
        const auto cut = [&](MemoryFolder& folder) {
          folder.cutLog = log;
          folder.cutAtRow = at;
          folder.cutKeep = keep;
          folder.rowsToCutLog = 0;
          folder.restarts = 0;
        };
        MemoryFolder run = start;
        cut(run);
        RunIn(run);
        EXPECT_EQ(run.restarts, 1);
        EXPECT_EQ(FilesOf(run), FilesOf(uncutRun));
        EXPECT_EQ(run.logs, uncutRun.logs);

        MemoryFolder undo = uncutRun;
        cut(undo);
        ASSERT_TRUE(UndoIn(undo, runDigits));
        EXPECT_EQ(undo.restarts, at <= undoRows ? 1 : 0);
        EXPECT_EQ(undo.logs, uncutUndo.logs);
        EXPECT_FALSE(UndoIn(undo, runDigits));
        EXPECT_EQ(FilesOf(undo), FilesOf(start));
      }
    }
  }
}

// A rename that fails (no access, or a file held open) at one step of a
// command; then the obstacle is gone and the command given again. A run
// leaves the file at its temporary name and the next run finishes it; an
// undo puts it back where it was before the undo, and the undo given again
// finishes. The same two rules hold.
class FailedSteps : public Histories {
 protected:
  // Whether the command had a failAt-th rename.
  bool PlayFailing(const Start& start, RenamePath path, const std::vector<Op>& ops, long failedOp, long failAt) {
    Play play;
    play.folder.path = path;
    for (const auto& [name, seconds] : start.files) play.folder.Add(name, std::string("shot ") + name, Ticks(seconds));
    play.start = FilesOf(play.folder);
    std::ostringstream label;
    label << start.label << " path " << static_cast<int>(path) << ":";
    for (std::size_t i = 0; i < ops.size(); ++i) {
      label << " " << NameOf(ops[i])
            << (static_cast<long>(i) == failedOp ? "(rename " + std::to_string(failAt) + " failed)" : "");
    }
    const std::string where = label.str();
    for (std::size_t i = 0; i < ops.size(); ++i) {
      auto command = play.Command(ops[i]);
      if (!command) {
        if (static_cast<long>(i) == failedOp) return false;  // no such command to fail
        continue;
      }
      if (static_cast<long>(i) != failedOp) {
        command();
        continue;
      }
      Play unfailed = play;
      unfailed.Command(ops[i])();
      play.folder.renames = 0;
      play.folder.failAt = failAt;
      play.folder.failAs = failAt % 2 == 0 ? RenameResult::kHeld : RenameResult::kFailed;
      const std::int64_t stamp = play.folder.clock;
      command();
      play.folder.failAt = -1;
      if (play.folder.renames < failAt) return false;
      ++failed_;
      CheckWhole(play, where + " (failed)", true);
      if (ops[i] != Op::kRun) {
        // The undo put its failed file back: only one whose name another
        // file took meanwhile waits at the undo's temporary name.
        for (const auto& [name, file] : play.folder.files) {
          std::int64_t at;
          const char* inner = ReadTempStamp(name.c_str(), &at);
          Check(inner == nullptr || at != stamp || play.folder.files.count(inner) != 0,
                where + ": the undo left " + name + " at its temporary name");
        }
      }
      // A run whose failed file stayed at its name while every other file
      // reached its target leaves nothing at a temporary name: the run given
      // again sees no interruption, and orders equal times by the names the
      // failed one left (a gap of runs, not followed here).
      const bool nothingStranded =
          ops[i] == Op::kRun && std::none_of(play.folder.files.begin(), play.folder.files.end(), [](const auto& f) {
            std::int64_t stamp;
            return ReadTempStamp(f.first.c_str(), &stamp) != nullptr;
          });
      command();
      CheckWhole(play, where + " (given again)", true);
      if (nothingStranded) continue;
      Check(FilesOf(play.folder) == FilesOf(unfailed.folder), where + ": given again ends as\n  " +
                                                                  Show(FilesOf(play.folder)) + "\nnot as\n  " +
                                                                  Show(FilesOf(unfailed.folder)));
    }
    ++played_;
    Check(play.UndoAll(), where + ": undos go on and on");
    CheckWhole(play, where + " (all undone)", true);
    if (play.edits == 0) {
      Check(IsStart(FilesOf(play.folder), play.start, false), where + ": all undone ends as\n  " +
                                                                  Show(FilesOf(play.folder)) +
                                                                  "\nnot as the start\n  " + Show(play.start));
    }
    return true;
  }

  long played_ = 0;
  long failed_ = 0;
};

TEST_F(FailedSteps, AFailedRenameGivenAgainAndUndosNewestFirst) {
  std::vector<std::vector<Op>> histories;
  const Op followers[] = {Op::kRun, Op::kUndoNewest, Op::kUndoSecond, Op::kNewShot, Op::kNewTime, Op::kDelete};
  histories.push_back({Op::kRun});
  for (const Op second : followers) {
    histories.push_back({Op::kRun, second});
    for (const Op third : followers) histories.push_back({Op::kRun, second, third});
  }
  const RenamePath paths[] = {RenamePath::kNoReplace, RenamePath::kLink, RenamePath::kReservation};
  for (const Start& start : Starts()) {
    for (const RenamePath path : paths) {
      for (const auto& ops : histories) {
        for (long failedOp = 0; failedOp < static_cast<long>(ops.size()); ++failedOp) {
          if (IsEdit(ops[static_cast<std::size_t>(failedOp)])) continue;
          for (long at = 1; PlayFailing(start, path, ops, failedOp, at); ++at) {
          }
        }
      }
    }
  }
  std::printf("%ld histories played, each with a failed rename (%ld failed renames), %ld failures\n", played_,
              failed_, tally_.failures);
  EXPECT_GT(failed_, 0);
  EXPECT_EQ(tally_.failures, 0);
}

// Whether a pair or triple of kill points is played where not all are: a
// fixed spread, the same on every run of the test.
bool Sampled(long a, long b, long c, long every) { return (a * 7919 + b * 104729 + c * 1299709) % every == 0; }

// A command killed, given again and killed again (once or twice more), then
// given again to the end: it ends as the uninterrupted one would, and undoing
// the runs newest first still gives the start. What one kill leaves (a second
// name, an empty reservation) the command given again may be killed amid
// taking away, and a kill of it leaves more of the same.
class KilledAgain : public Histories {
 protected:
  struct Played {
    std::size_t struck;  // how many of the kills struck
    long steps;          // the steps of the command given to its end
  };

  // Plays `ops`, the command at `killedOp` killed at each step of `kills` in
  // turn (steps counted afresh each time it is given), then given to its end.
  // A history where a kill did not strike (the command ended first) is not
  // counted.
  Played PlayKills(const Start& start, RenamePath path, const std::vector<Op>& ops, std::size_t killedOp,
                   const std::vector<long>& kills) {
    Play play;
    play.folder.path = path;
    for (const auto& [name, seconds] : start.files) play.folder.Add(name, std::string("shot ") + name, Ticks(seconds));
    play.start = FilesOf(play.folder);
    std::ostringstream label;
    label << start.label << " path " << static_cast<int>(path) << ":";
    for (std::size_t i = 0; i < ops.size(); ++i) {
      label << " " << NameOf(ops[i]);
      if (i != killedOp) continue;
      label << "(killed at";
      for (const long at : kills) label << " " << at;
      label << ", again)";
    }
    const std::string where = label.str();
    long steps = 0;
    for (std::size_t i = 0; i < ops.size(); ++i) {
      auto command = play.Command(ops[i]);
      if (!command) return {0, 0};
      if (i != killedOp) {
        command();
        continue;
      }
      Play uninterrupted = play;
      uninterrupted.Command(ops[i])();
      for (std::size_t k = 0; k < kills.size(); ++k) {
        play.folder.steps = 0;
        play.folder.killAt = kills[k];
        bool killed = false;
        try {
          command();
        } catch (const Killed&) {
          killed = true;
        }
        play.folder.killAt = -1;
        if (!killed) return {k, 0};
        play.killedRun = play.killedRun || ops[i] == Op::kRun;
      }
      play.folder.steps = 0;
      command();
      steps = play.folder.steps;
      CheckWhole(play, where + " (given again)", true);
      Check(!outcomes_ || FilesOf(play.folder) == FilesOf(uninterrupted.folder), where + ": given again ends as\n  " +
                                                                       Show(FilesOf(play.folder)) + "\nnot as\n  " +
                                                                       Show(FilesOf(uninterrupted.folder)));
    }
    ++tally_.histories;
    ++tally_.kills;
    const char* trace = std::getenv("SHOTRENUM_HISTORY_TRACE");
    play.tracing = trace != nullptr && where == trace;
    if (play.tracing) {
      std::printf("before undoing all: %s\n", Show(FilesOf(play.folder)).c_str());
      for (auto [name, bytes] : play.folder.logs) {
        std::replace(bytes.begin(), bytes.end(), '\0', '~');
        std::printf("%s:\n%s\n", name.c_str(), bytes.c_str());
      }
    }
    const std::size_t logs = play.folder.logs.size();
    Check(play.UndoAll(), where + ": undos go on and on");
    CheckWhole(play, where + " (all undone)", play.folder.logs.size() != logs);
    Check(!outcomes_ || IsStart(FilesOf(play.folder), play.start, play.killedRun),
          where + ": all undone ends as\n  " + Show(FilesOf(play.folder)) + "\nnot as the start\n  " + Show(play.start));
    return {kills.size(), steps};
  }

  // Every kill pair on folders of up to two screenshots, a fixed spread of
  // them beyond, and a spread of triples, for a run, its undo and the undo
  // of that undo, on each way of renaming.
  void PlayAll() {
    const std::vector<std::vector<Op>> histories = {
        {Op::kRun}, {Op::kRun, Op::kUndoNewest}, {Op::kRun, Op::kUndoNewest, Op::kUndoNewest}};
    const RenamePath paths[] = {RenamePath::kNoReplace, RenamePath::kLink, RenamePath::kReservation};
    long pairs = 0;
    long triples = 0;
    for (const Start& start : Starts()) {
      // Every pair on folders of up to two screenshots; a spread beyond them.
      const long pairsEvery = start.files.size() <= 2 ? 1 : 3;
      const long triplesEvery = start.files.size() <= 2 ? 20 : 300;
      for (const RenamePath path : paths) {
        for (const auto& ops : histories) {
          const std::size_t killed = ops.size() - 1;
          for (long a = 1;; ++a) {
            const Played once = PlayKills(start, path, ops, killed, {a});
            if (once.struck < 1) break;
            for (long b = 1; b <= once.steps; ++b) {
              if (!Sampled(a, b, 0, pairsEvery)) continue;
              const Played twice = PlayKills(start, path, ops, killed, {a, b});
              if (twice.struck < 2) continue;
              ++pairs;
              for (long c = 1; c <= twice.steps; ++c) {
                if (!Sampled(a, b, c, triplesEvery)) continue;
                triples += PlayKills(start, path, ops, killed, {a, b, c}).struck == 3;
              }
            }
          }
        }
      }
    }
    std::printf("%ld histories played (%ld of two kills in a row, %ld of three), %ld failures\n", tally_.histories,
                pairs, triples, tally_.failures);
  }

  bool outcomes_ = true;  // whether the rules of how a history ends are checked
};

// Nothing is lost, and nothing left at two names or empty, however the
// kills fall.
TEST_F(KilledAgain, TwoAndThreeKillsInARowLeaveNothingAtTwoNamesOrEmpty) {
  outcomes_ = false;
  PlayAll();
  EXPECT_EQ(tally_.failures, 0);
}

// Two runs killed in a row, the second taking nothing from the first's
// temporary names, then one more run that takes the rest from them: the three
// are one entry, and its undo takes every one of them back.
TEST_F(KilledAgain, TheUndoOfARunThatFinishedTwoKilledOnesTakesBackAllThree) {
  const std::pair<const char*, std::vector<long>> played[] = {
      {"three", {14, 13}}, {"three equal", {14, 13}}, {"four", {17, 13}}};
  for (const auto& [label, kills] : played) {
    const auto start = std::find_if(Starts().begin(), Starts().end(),
                                    [&](const Start& s) { return std::string(s.label) == label; });
    ASSERT_NE(start, Starts().end());
    EXPECT_EQ(PlayKills(*start, RenamePath::kNoReplace, {Op::kRun}, 0, kills).struck, 2u) << label;
  }
  EXPECT_EQ(tally_.failures, 0);
}

// Not yet so: where two kills in a row each come between a rename and its
// row (on every way of renaming), neither log tells the rename, and the
// command given again or the undos can end elsewhere than they should.
TEST_F(KilledAgain, DISABLED_TwoAndThreeKillsInARowEndAsOneCommandAndUndoToTheStart) {
  PlayAll();
  EXPECT_EQ(tally_.failures, 0);
}

}  // namespace
}  // namespace shotrenum::testing
