// Short histories of runs and undos in memory, each with a power cut at
// every step of one command: of the renames made since the folder's last
// barrier all, the first half or none kept (in order, as a journaling file
// system keeps them), and of the logs the bytes of their last barrier plus
// none, all or some of the pages stored after it, whether or not the
// renames their rows tell were kept. Then the cut command is given again (a cut run by
// one more run), the rest of the history is played, and the runs are undone
// newest first:
//  - given again, the cut command ends as the uncut one does;
//  - undoing every run gives the start; nothing is ever lost.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "memory_folder.h"
#include "platform/filetime.h"

namespace shotrenum::testing {
namespace {

using Files = std::map<std::string, std::pair<std::string, std::uint64_t>>;

Files FilesOf(const MemoryFolder& folder) {
  Files files;
  for (const auto& [name, file] : folder.files) files[name] = {file.content, file.ticks};
  return files;
}

std::string Show(const Files& files) {
  std::ostringstream out;
  for (const auto& [name, file] : files) out << name << "=" << file.first << " ";
  return out.str();
}

// Which of the pages stored after a log's last barrier reached the disk.
enum class Pages { kNone, kAll, kEven, kOdd };

const char* NameOf(Pages pages) {
  switch (pages) {
    case Pages::kNone:
      return "no page";
    case Pages::kAll:
      return "every page";
    case Pages::kEven:
      return "even pages";
    case Pages::kOdd:
      return "odd pages";
  }
  return "?";
}

// How many of the renames made since the folder was last made durable a cut
// keeps (a journaling file system keeps them in order, so a cut loses the
// latest): all, the first half, or none, while the logs' later pages may
// have reached the disk all the same.
enum class Renames { kAll, kHalf, kNone };

const char* NameOf(Renames renames) {
  switch (renames) {
    case Renames::kAll:
      return "every rename";
    case Renames::kHalf:
      return "half the renames";
    case Renames::kNone:
      return "no rename";
  }
  return "?";
}

void LoseRenames(MemoryFolder& folder, Renames renames) {
  const std::size_t since = folder.renameLog.size() - folder.durableRenames;
  const std::size_t kept = renames == Renames::kAll ? since : renames == Renames::kHalf ? since / 2 : 0;
  while (folder.renameLog.size() > folder.durableRenames + kept) {
    const auto [from, to] = folder.renameLog.back();
    folder.renameLog.pop_back();
    folder.files[from] = folder.files.at(to);
    folder.files.erase(to);
  }
  folder.durableRenames = folder.renameLog.size();
}

// What a cut leaves of the logs `cutLogs` (those of the command cut): each
// page as the last barrier left it, or as stored since where `pages` says.
// A log no barrier reached is there only as far as its stored pages are.
void Cut(MemoryFolder& folder, const std::set<std::string>& cutLogs, Pages pages) {
  for (const std::string& name : cutLogs) {
    const std::string stored = folder.logs.at(name);
    const auto durable = folder.durableLogs.find(name);
    std::string kept = durable != folder.durableLogs.end() ? durable->second : std::string();
    if (durable == folder.durableLogs.end() && pages == Pages::kNone) {
      folder.logs.erase(name);
      folder.logWritten.erase(name);
      continue;
    }
    kept.resize(stored.size(), '\0');
    for (std::size_t page = 0; page * folder.pageBytes < stored.size(); ++page) {
      const bool reached =
          pages == Pages::kAll || (pages == Pages::kEven && page % 2 == 0) || (pages == Pages::kOdd && page % 2 == 1);
      if (!reached) continue;
      const std::size_t at = page * folder.pageBytes;
      kept.replace(at, std::min(folder.pageBytes, stored.size() - at), stored, at, folder.pageBytes);
    }
    folder.logs[name] = kept;
  }
}

enum class Op { kRun, kUndoNewest };

struct Play {
  MemoryFolder folder;
  std::vector<std::pair<std::string, bool>> commands;  // digits, and whether a run

  std::function<void()> Command(Op op) {
    if (op == Op::kRun) return [this] { Logged(true, [&] { RunIn(folder); }); };
    if (commands.empty()) return nullptr;
    const std::string target = commands.back().first;
    return [this, target] { Logged(false, [&] { UndoIn(folder, target); }); };
  }

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

  // How many files the undos took for gone (none is ever deleted here).
  long missing = 0;

  void UndoAll() {
    for (int guard = 0; guard < 12; ++guard) {
      bool progress = false;
      for (std::size_t i = commands.size(); i-- > 0 && !progress;) {
        if (!commands[i].second) continue;
        const std::size_t before = commands.size();
        long gone = 0;
        Logged(false, [&] { UndoIn(folder, commands[i].first, &gone); });
        missing += gone;
        progress = commands.size() != before;
      }
      if (!progress) return;
    }
  }
};

struct Start {
  const char* label;
  std::vector<std::pair<const char*, std::int64_t>> files;
};

class CutHistories : public ::testing::Test {
 protected:
  void Check(bool ok, const std::string& what) {
    if (ok) return;
    if (++failures_ <= shown_) ADD_FAILURE() << what;
  }

  void CheckWhole(const Play& play, const Files& start, const std::string& where) {
    std::map<int, int> names;
    for (const auto& [name, file] : play.folder.files) ++names[file.id];
    for (const auto& [id, count] : names) Check(count == 1, where + ": a file at two names");
    Check(play.folder.files.size() == start.size(), where + ": files lost or added: " + Show(FilesOf(play.folder)));
  }

  // Plays `ops` with a cut at step `at` of the command `cut`; false when the
  // command has no such step.
  bool PlayOne(const Start& start, const std::vector<Op>& ops, std::size_t cut, long at, Pages pages, Renames renames) {
    Play play;
    play.folder.pageBytes = 64;
    for (const auto& [name, seconds] : start.files) {
      play.folder.Add(name, std::string("shot ") + name, FileTimeTicks(FileTimeFromUnix(seconds, 0)));
    }
    const Files begin = FilesOf(play.folder);
    std::ostringstream label;
    label << start.label << ":";
    for (std::size_t i = 0; i < ops.size(); ++i) {
      label << (ops[i] == Op::kRun ? " run" : " undo");
      if (i == cut) label << "(cut at " << at << ", " << NameOf(pages) << ", " << NameOf(renames) << ")";
    }
    const std::string where = label.str();
    for (std::size_t i = 0; i < ops.size(); ++i) {
      auto command = play.Command(ops[i]);
      if (!command) continue;
      if (i != cut) {
        command();
        CheckWhole(play, begin, where);
        continue;
      }
      Play uncut = play;
      uncut.Command(ops[i])();
      std::set<std::string> before;
      for (const auto& [name, bytes] : play.folder.logs) before.insert(name);
      play.folder.steps = 0;
      play.folder.killAt = at;
      bool ended = true;
      try {
        command();
      } catch (const Killed&) {
        ended = false;
      }
      play.folder.killAt = -1;
      if (!ended) LoseRenames(play.folder, renames);
      std::set<std::string> made;
      for (const auto& [name, bytes] : play.folder.logs) {
        if (before.count(name) == 0) made.insert(name);
      }
      Cut(play.folder, made, pages);
      if (ended) {
        // A cut right after the command told its end keeps it whole.
        if (pages != Pages::kNone || renames != Renames::kAll) return false;
        Check(FilesOf(play.folder) == FilesOf(uncut.folder) && play.folder.logs == uncut.folder.logs,
              where + ": a cut after the end loses what the command did");
        ended_ = true;
        continue;
      }
      ++cuts_;
      // A cut run is finished by one more run; a cut undo is given again.
      if (ops[i] == Op::kRun) {
        play.Command(Op::kRun)();
      } else {
        command();
      }
      CheckWhole(play, begin, where + " (given again)");
      Check(FilesOf(play.folder) == FilesOf(uncut.folder), where + ": given again ends as\n  " +
                                                               Show(FilesOf(play.folder)) + "\nnot as\n  " +
                                                               Show(FilesOf(uncut.folder)));
    }
    ++histories_;
    if (ended_) {
      ended_ = false;
      play.UndoAll();
      CheckWhole(play, begin, where + " (all undone)");
      Check(FilesOf(play.folder) == begin,
            where + ": cut after the end, all undone ends as\n  " + Show(FilesOf(play.folder)));
      return false;
    }
    play.UndoAll();
    CheckWhole(play, begin, where + " (all undone)");
    Check(play.missing == 0, where + ": an undo took " + std::to_string(play.missing) + " files for gone");
    Check(FilesOf(play.folder) == begin,
          where + ": all undone ends as\n  " + Show(FilesOf(play.folder)) + "\nnot as the start\n  " + Show(begin));
    return true;
  }

  long histories_ = 0;
  long cuts_ = 0;
  long failures_ = 0;
  bool ended_ = false;  // the command cut ended before the cut
  // SHOTRENUM_HISTORY_FAILURES=<n> shows up to n failures (20 by default).
  long shown_ = std::getenv("SHOTRENUM_HISTORY_FAILURES") ? std::atol(std::getenv("SHOTRENUM_HISTORY_FAILURES")) : 20;
};

TEST_F(CutHistories, ACutAtAnyStepKeepsEveryRunUndoable) {
  const std::vector<Start> starts = {
      {"two swapped", {{"G0000001.pcx", 10}, {"G0000000.pcx", 20}}},
      {"three", {{"G0000002.pcx", 10}, {"G0000000.pcx", 20}, {"G0000001.pcx", 30}}},
      {"three equal", {{"G0000003.pcx", 10}, {"G0000001.pcx", 10}, {"G0000000.pcx", 20}}},
      {"four", {{"G0000003.pcx", 10}, {"G0000002.pcx", 20}, {"G0000000.pcx", 20}, {"G0000001.pcx", 30}}},
  };
  const std::vector<std::vector<Op>> histories = {
      {Op::kRun},
      {Op::kRun, Op::kUndoNewest},
      {Op::kRun, Op::kUndoNewest, Op::kRun},
  };
  for (const Start& start : starts) {
    for (const auto& ops : histories) {
      for (std::size_t cut = 0; cut < ops.size(); ++cut) {
        for (const Pages pages : {Pages::kNone, Pages::kAll, Pages::kEven, Pages::kOdd}) {
          for (const Renames renames : {Renames::kAll, Renames::kHalf, Renames::kNone}) {
            for (long at = 1; at < 200 && PlayOne(start, ops, cut, at, pages, renames); ++at) {
            }
          }
        }
      }
    }
  }
  std::printf("%ld histories played with a power cut, %ld failures\n", histories_, failures_);
  EXPECT_EQ(failures_, 0);
}

}  // namespace
}  // namespace shotrenum::testing
