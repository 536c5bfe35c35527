// The journal's decisions, from logs and folders held in memory: which undo
// is accepted, what a log that contradicts itself or cannot be read does, and
// what the planner leaves where it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "journal/row_time.h"
#include "journal/tracks.h"
#include "journal/undo_choice.h"
#include "memory_folder.h"
#include "platform/filetime.h"

namespace shotrenum::testing {
namespace {

std::uint64_t Ticks(std::int64_t seconds) { return FileTimeTicks(FileTimeFromUnix(seconds, 0)); }

// The offsets a command's clocks tell: a row that shows its own file's time
// tells the offset it was printed in, a half hour's included, but only one a
// time zone can have; a log written a moment after its start tells the
// stamp, to the nearest quarter hour.
TEST(Clocks, AnOffsetIsReadOnlyWhereATimeZoneCanHaveIt) {
  const FILETIME file = FileTimeFromUnix(1600000000, 0);
  const std::int64_t utc = RowTimeOfFile(file, 0);
  std::int64_t offset = 0;
  EXPECT_TRUE(OffsetOfRow(utc + 19800 * 100, file, &offset));
  EXPECT_EQ(offset, 19800);
  EXPECT_TRUE(OffsetOfRow(utc - 12 * 3600 * 100, file, &offset));
  EXPECT_EQ(offset, -12 * 3600);
  offset = 7;
  for (const std::int64_t shown : {utc + 420 * 100, utc + 15 * 3600 * 100, utc + 3600 * 100 + 50, kUndatedRow}) {
    EXPECT_FALSE(OffsetOfRow(shown, file, &offset)) << shown;
    EXPECT_EQ(offset, 7);
  }
  // Logs named 2020-09-13 21:56:40 in UTC+9, last written 4 s after the
  // start; and a write a day later tells nothing.
  const char* digits = "20200913215640";
  std::int64_t stamp = 0;
  ASSERT_TRUE(StampNearWritten(digits, 1600001800 + 4, &stamp));
  EXPECT_EQ(stamp, 1600001800);
  EXPECT_EQ(OffsetOfStamp(digits, stamp), 9 * 3600);
  EXPECT_EQ(StampOfOffset(digits, 9 * 3600), stamp);
  EXPECT_FALSE(StampNearWritten(digits, stamp + 86400, &stamp));
}

// A folder of three screenshots out of order.
MemoryFolder ThreeShots() {
  MemoryFolder folder;
  folder.Add("G0000002.pcx", "two", Ticks(10));
  folder.Add("G0000000.pcx", "zero", Ticks(20));
  folder.Add("G0000001.pcx", "one", Ticks(30));
  return folder;
}

// A run, returning the digits of its logs.
std::string RunNow(MemoryFolder& folder) {
  const std::string digits = folder.Digits();
  RunIn(folder);
  return digits;
}

// A run killed before its step `at`, returning the digits of its logs.
std::string KilledRun(MemoryFolder& folder, long at) {
  const std::string digits = folder.Digits();
  folder.killAt = at;
  EXPECT_THROW(RunIn(folder), Killed);
  folder.killAt = -1;
  return digits;
}

std::string UndoNow(MemoryFolder& folder, const std::string& digits) {
  const std::string own = folder.Digits();
  UndoIn(folder, digits);
  return own;
}

std::string ProcessLog(const std::string& digits) {
  char name[64];
  LogFileName(name, LogKind::kProcess, digits.c_str());
  return name;
}

// What an undo of `digits` would decide now.
UndoChoice Choose(const MemoryFolder& folder, const std::string& digits, History& history, bool caseless = false) {
  std::vector<Track> tracks = folder.Tracks(history.stamps);
  MemoryShelf shelf(folder);
  ReadHistory(shelf, HorizonOfUndo(digits.c_str()), &history);
  return ChooseUndo(history, tracks, digits.c_str(), folder.Linked(), caseless);
}

TEST(Stack, AnUndoOfAnUndoOnlyWhereWhatStoodAfterItStandsAgain) {
  MemoryFolder folder = ThreeShots();
  const std::string a = RunNow(folder);
  folder.Add("G0000009.pcx", "older", Ticks(5));  // the second run moves every file again
  const std::string b = RunNow(folder);
  const std::string undoB = UndoNow(folder, b);
  const std::string undoA = UndoNow(folder, a);
  History history;
  // B was made on A: taking back "undo B" while A is taken back is refused,
  // naming what stands in the way.
  const UndoChoice refused = Choose(folder, undoB, history);
  EXPECT_EQ(refused.refusal, UndoRefusal::kLaterStands);
  EXPECT_EQ(refused.name, ProcessLog(undoA));
  // Newest first it goes: "undo A" back, then "undo B".
  ASSERT_TRUE(UndoIn(folder, undoA));
  History again;
  EXPECT_EQ(Choose(folder, undoB, again).refusal, UndoRefusal::kNone);
  // A run taken back already touches nothing and says so.
  History twice;
  EXPECT_EQ(Choose(folder, b, twice).refusal, UndoRefusal::kAlready);
}

TEST(Stack, TheOlderRunOfAChainStandsUntilTheNewerIsUndone) {
  MemoryFolder folder = ThreeShots();
  const std::string killed = KilledRun(folder, 5);  // in the first phase
  const std::string finishing = RunNow(folder);
  History history;
  const UndoChoice refused = Choose(folder, killed, history);
  EXPECT_EQ(refused.refusal, UndoRefusal::kLaterStands);
  EXPECT_EQ(refused.name, ProcessLog(finishing));
  // Undoing the newer takes both back; the older is then taken back already.
  ASSERT_TRUE(UndoIn(folder, finishing));
  EXPECT_EQ(folder.files.at("G0000002.pcx").content, "two");
  EXPECT_EQ(folder.files.at("G0000000.pcx").content, "zero");
  EXPECT_EQ(folder.files.at("G0000001.pcx").content, "one");
  EXPECT_EQ(folder.files.size(), 3u);
  History after;
  EXPECT_EQ(Choose(folder, killed, after).refusal, UndoRefusal::kAlready);
}

// What cannot be read is never taken as absent.
TEST(Refusals, ALaterLogThatCannotBeReadStopsAnUndo) {
  const std::string later = "VeltraskoAll_20991231235959.csv";
  const std::string head = LogHeadText(LogKind::kProcess, "");
  const std::string cases[] = {
      "",                                                                  // empty: a full disk
      head.substr(0, head.find('\n') + 1),                                 // no header
      head + "OK,G0000001.pcx,_tmp_1_G0000001.pcx,2011/04/13,09:05:07\n",  // a damaged row
  };
  for (const std::string& content : cases) {
    MemoryFolder folder = ThreeShots();
    const std::string a = RunNow(folder);
    folder.logs[later] = content;
    folder.logWritten[later] = folder.clock;
    if (content.empty()) {
      // An empty process log alone is a command killed before its head; one
      // beside its result log had its head refused while the command went on.
      folder.logs["VeltraskoLog_20991231235959.csv"] = "";
      folder.logWritten["VeltraskoLog_20991231235959.csv"] = folder.clock;
    }
    History history;
    const UndoChoice choice = Choose(folder, a, history);
    EXPECT_EQ(choice.refusal, UndoRefusal::kUnreadable) << content;
    EXPECT_EQ(choice.name, later);
  }
}

TEST(Refusals, ALogThatContradictsItselfCannotBeRead) {
  const std::string head = LogHeadText(LogKind::kProcess, "");
  const std::string row = "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2023/11/14,22:13:20:00\n";
  const std::string cases[] = {
      // two files sent to one name
      head + row + "OK,G0000002.pcx,_tmp_1700000000_G0000002.pcx,2023/11/14,22:13:20:00\n" +
          "OK,_tmp_1700000000_G0000001.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n" +
          "OK,_tmp_1700000000_G0000002.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n",
      // one name moved twice in a phase
      head + row + row,
      // one file sent on from a temporary name twice: its own, or an earlier run's
      head + row + "OK,_tmp_1700000000_G0000001.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n" +
          "OK,_tmp_1700000000_G0000001.pcx,G0000002.pcx,2023/11/14,22:13:20:00\n",
      head + "OK,_tmp_1600000000_G0000001.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n" +
          "OK,_tmp_1600000000_G0000001.pcx,G0000002.pcx,2023/11/14,22:13:20:00\n",
      // a second-phase source that the first phase did not make
      head + row + "OK,_tmp_1700000000_G0000003.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n",
      // two stamps in the first phase
      head + row + "OK,G0000002.pcx,_tmp_1700000001_G0000002.pcx,2023/11/14,22:13:20:00\n",
      // the first phase after the second
      head + row + "OK,_tmp_1700000000_G0000001.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n" +
          "OK,G0000002.pcx,_tmp_1700000000_G0000002.pcx,2023/11/14,22:13:20:00\n",
      // a result log under a process log's name
      LogHeadText(LogKind::kResult, "") + "OK,_tmp_1600000000_G0000001.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n",
  };
  for (const std::string& content : cases) {
    MemoryFolder folder;
    const std::string name = "VeltraskoAll_20231114221320.csv";
    folder.logs[name] = content;
    folder.logWritten[name] = 1700000000;
    MemoryShelf shelf(folder);
    History history;
    ReadHistory(shelf, 0, &history);
    ASSERT_EQ(history.commands.size(), 1u);
    EXPECT_EQ(history.commands[0].state, LogState::kUnreadable) << content;
    EXPECT_STREQ(history.commands[0].problem, name.c_str());
  }
  // A result log more than one row ahead of its process log (a kill between
  // the two leaves it one ahead).
  {
    MemoryFolder folder;
    folder.logs["VeltraskoAll_20231114221320.csv"] = head + row;
    folder.logs["VeltraskoLog_20231114221320.csv"] = LogHeadText(LogKind::kResult, "") +
                                                     "OK,G0000001.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n" +
                                                     "OK,G0000002.pcx,G0000001.pcx,2023/11/14,22:13:20:00\n";
    for (const auto& [name, content] : folder.logs) folder.logWritten[name] = 1700000000;
    MemoryShelf shelf(folder);
    History history;
    ReadHistory(shelf, 0, &history);
    ASSERT_EQ(history.commands.size(), 1u);
    EXPECT_EQ(history.commands[0].state, LogState::kUnreadable);
  }
  // The stamp of its temporary names is not of the second its name shows.
  MemoryFolder folder;
  folder.logs["VeltraskoAll_20231114221321.csv"] = head + row;
  folder.logWritten["VeltraskoAll_20231114221321.csv"] = 1700000001;
  MemoryShelf shelf(folder);
  History history;
  ReadHistory(shelf, 0, &history);
  EXPECT_EQ(history.commands[0].state, LogState::kUnreadable);
}

// The way back of one file holds another's: the whole chain stays, and no
// file is left at a temporary name.
TEST(Planner, AFileThatCannotGoBackHoldsTheFilesBehindIt) {
  MemoryFolder folder;
  folder.Add("G0000002.pcx", "a", Ticks(10));
  folder.Add("G0000000.pcx", "b", Ticks(20));
  folder.Add("G0000003.pcx", "c", Ticks(30));
  const std::string run = RunNow(folder);  // a: 2->0, b: 0->1, c: 3->2
  // A new screenshot where c was: c stays at G0000002.pcx, where a was, so a
  // stays at G0000000.pcx, where b was, so b stays too.
  folder.Add("G0000003.pcx", "new", Ticks(40));
  History history;
  const UndoChoice choice = Choose(folder, run, history);
  EXPECT_EQ(choice.refusal, UndoRefusal::kNothingMoves);
  EXPECT_EQ(choice.plan.staying, 3);
  EXPECT_EQ(choice.plan.moving, 0);
  // Once it is moved away the undo goes, and gives the start.
  folder.files.erase("G0000003.pcx");
  ASSERT_TRUE(UndoIn(folder, run));
  EXPECT_EQ(folder.files.at("G0000002.pcx").content, "a");
  EXPECT_EQ(folder.files.at("G0000000.pcx").content, "b");
  EXPECT_EQ(folder.files.at("G0000003.pcx").content, "c");
  EXPECT_EQ(folder.files.size(), 3u);
}

// A second name is one file at two names, never a file that merely has
// another name somewhere: identity decides.
TEST(Planner, TellsASecondNameByIdentityAndAReservationByItsEmptiness) {
  for (const RenamePath path : {RenamePath::kLink, RenamePath::kReservation}) {
    MemoryFolder folder = ThreeShots();
    folder.path = path;
    KilledRun(folder, 4);  // between the two steps of the first rename
    ASSERT_EQ(folder.files.size(), 4u);
    MemoryFolder copy = folder;
    RunIn(folder);
    EXPECT_EQ(folder.files.size(), 3u) << static_cast<int>(path);
    // The same pair, where the temporary name holds another file with the
    // same content and time: both are files.
    if (path == RenamePath::kLink) {
      for (auto& [name, file] : copy.files) {
        if (name.rfind("_tmp_", 0) == 0) file.id = 999;
      }
      RunIn(copy);
      EXPECT_EQ(copy.files.size(), 4u);
    }
  }
}

// A file whose temporary name's logs are gone goes to the name inside it;
// where a file that stays holds that name, back to the temporary name it
// bore, never left at the name the later run gave it.
TEST(Planner, SendsAFileOfLostLogsBackToItsTemporaryNameWhereItsOwnIsHeld) {
  MemoryFolder folder = ThreeShots();
  KilledRun(folder, 5);                         // in the first phase
  std::map<std::string, std::string> stranded;  // content -> temporary name
  for (const auto& [name, file] : folder.files) {
    if (name.rfind("_tmp_", 0) == 0) stranded[file.content] = name;
  }
  ASSERT_FALSE(stranded.empty());
  folder.logs.clear();
  const std::string finishing = RunNow(folder);
  // The file now at the name inside a stranded file's temporary name is
  // changed since: it stays, and holds that name.
  const auto& [content, temporary] = *stranded.begin();
  const std::string inner = temporary.substr(temporary.rfind('_') + 1);
  ASSERT_NE(folder.files.at(inner).content, content);
  folder.files.at(inner).ticks += Ticks(1) - Ticks(0);
  UndoIn(folder, finishing);
  ASSERT_EQ(folder.files.count(temporary), 1u);
  EXPECT_EQ(folder.files.at(temporary).content, content);
}

// Two files whose ways back are one name, as the file system folds case
// (a folder renumbered where case counts, then taken where it does not):
// neither goes.
TEST(Planner, LeavesTwoFilesWhoseWaysBackAreOneName) {
  MemoryFolder folder;
  folder.Add("G0000005.pcx", "upper", Ticks(10));
  folder.Add("g0000005.pcx", "lower", Ticks(20));
  const std::string run = RunNow(folder);
  History history;
  EXPECT_EQ(Choose(folder, run, history).refusal, UndoRefusal::kNone);
  History folded;
  EXPECT_EQ(Choose(folder, run, folded, true).refusal, UndoRefusal::kNothingMoves);
  // Also where another file's way back sorts between theirs.
  MemoryFolder three;
  three.Add("G0000005.pcx", "upper", Ticks(10));
  three.Add("g0000005.pcx", "lower", Ticks(20));
  three.Add("G0000007.pcx", "seven", Ticks(30));
  const std::string again = RunNow(three);
  History between;
  const UndoChoice choice = Choose(three, again, between, true);
  EXPECT_EQ(choice.refusal, UndoRefusal::kNone);
  EXPECT_EQ(choice.plan.staying, 2);
}

// A file the rows expect elsewhere is back at its old name only if the file
// there has its time.
TEST(Planner, TakesAFileAtAnOldNameForTheMissingOneOnlyByItsTime) {
  MemoryFolder folder;
  folder.Add("G0000005.pcx", "five", Ticks(10));
  const std::string run = RunNow(folder);
  MemoryFile moved = folder.files.at("G0000000.pcx");
  folder.files.erase("G0000000.pcx");
  folder.Add("G0000005.pcx", "new", Ticks(40));
  History history;
  EXPECT_EQ(Choose(folder, run, history).refusal, UndoRefusal::kNothingMoves);
  // Renamed back by hand: it is back, and the run is taken back.
  folder.files["G0000005.pcx"] = moved;
  History back;
  EXPECT_EQ(Choose(folder, run, back).refusal, UndoRefusal::kNone);
}

// The undo of an undo puts every file where the run left it, a temporary
// name included (a rename the run could not finish).
TEST(Planner, AnUndoOfAnUndoPutsBackATemporaryNameTheRunLeft) {
  MemoryFolder folder;
  folder.Add("G0000005.pcx", "five", Ticks(10));
  folder.Add("G0000006.pcx", "six", Ticks(20));
  folder.folders.insert("G0000001.pcx");
  const std::string stamp = std::to_string(folder.clock);
  const std::string run = RunNow(folder);
  const std::string left = "_tmp_" + stamp + "_G0000006.pcx";
  ASSERT_EQ(folder.files.count(left), 1u);
  const std::string undo = UndoNow(folder, run);
  EXPECT_EQ(folder.files.at("G0000006.pcx").content, "six");
  ASSERT_TRUE(UndoIn(folder, undo));
  EXPECT_EQ(folder.files.count(left), 1u);
  EXPECT_EQ(folder.files.at("G0000000.pcx").content, "five");
}

// Logs are found by the stamps they carry: a time zone that changed between
// a killed run and the run that finishes it changes nothing.
TEST(History, TellsEachCommandsOffsetFromItsOwnRows) {
  MemoryFolder folder = ThreeShots();
  folder.offset = 9 * 3600;
  const std::string killed = KilledRun(folder, 12);  // in the second phase
  folder.offset = -5 * 3600;
  RunIn(folder);
  MemoryShelf shelf(folder);
  History history;
  ReadHistory(shelf, 0, &history);
  ASSERT_EQ(history.commands.size(), 2u);
  EXPECT_EQ(history.commands[0].offset, 9 * 3600);
  EXPECT_EQ(history.commands[1].offset, -5 * 3600);
  EXPECT_STREQ(history.commands[0].digits, killed.c_str());
}

// A run whose every file came from a killed run's temporary names has no
// stamp of its own in its rows: their times tell its offset, whatever its
// log's write time says (a folder copied since).
TEST(History, TellsTheStampOfARunThatOnlyFinishedAnother) {
  MemoryFolder folder = ThreeShots();
  folder.offset = 9 * 3600;
  for (long at = 1;; ++at) {
    MemoryFolder trial = folder;
    KilledRun(trial, at);
    if (trial.files.size() == 3 && std::all_of(trial.files.begin(), trial.files.end(),
                                               [](const auto& f) { return f.first.rfind("_tmp_", 0) == 0; })) {
      folder = trial;
      break;
    }
  }
  folder.offset = -5 * 3600;
  const std::int64_t stamp = folder.clock;
  RunNow(folder);
  for (auto& [name, written] : folder.logWritten) written += 10 * 86400;
  MemoryShelf shelf(folder);
  History history;
  ReadHistory(shelf, 0, &history);
  ASSERT_EQ(history.commands.size(), 2u);
  EXPECT_EQ(history.commands[1].stamp, stamp);
  EXPECT_EQ(history.commands[1].offset, -5 * 3600);
}

// A command whose rows tell no stamp (its process log gone) and whose log's
// write time says nothing of its start (copied since) learns the offset its
// rows were printed in from the first of its files that shows one: a file
// changed since shows none, and the next one does.
TEST(History, LearnsAnOffsetFromTheFirstFileThatShowsOne) {
  MemoryFolder folder;
  folder.Add("G0000005.pcx", "five", Ticks(10));
  folder.Add("G0000007.pcx", "seven", Ticks(20));
  folder.Add("G0000009.pcx", "nine", Ticks(30));
  folder.offset = 9 * 3600 + 1800;
  const std::string run = RunNow(folder);
  folder.logs.erase(ProcessLog(run));
  folder.logWritten.erase(ProcessLog(run));
  for (auto& [name, written] : folder.logWritten) written += 10 * 86400;
  folder.offset = 0;
  folder.files.at("G0000000.pcx").ticks = Ticks(12);  // changed since the run
  History history;
  const UndoChoice choice = Choose(folder, run, history);
  ASSERT_EQ(choice.refusal, UndoRefusal::kNone);
  EXPECT_EQ(choice.plan.moving, 2);
  EXPECT_EQ(choice.plan.staying, 1);
}

// A killed command's logs end in NULs up to the room they were given.
// Reading them changes nothing and takes note of the NULs; the command that
// carries its decision out cuts them, and the same history reads again from
// what is left; a log of nothing but NULs goes.
TEST(History, TheNulsAKilledCommandLeftGoWhereItsLogsAreRead) {
  MemoryFolder folder = ThreeShots();
  const std::string killedDigits = folder.Digits();
  folder.killAt = 12;  // in the second phase
  EXPECT_THROW(RunIn(folder), Killed);
  folder.killAt = -1;
  const std::string empty = "VeltraskoLog_20991231235959.csv";
  const std::string damaged = "VeltraskoAll_20991231235958.csv";
  folder.logs[empty] = std::string(40, '\0');
  folder.logs[damaged] =
      LogHeadText(LogKind::kProcess, "") + "OK,G00" + std::string(9, '\0') + "01.p" + std::string(40, '\0');
  folder.logWritten[empty] = folder.logWritten[damaged] = folder.clock;
  const std::map<std::string, std::string> killed = folder.logs;
  const std::map<std::string, std::int64_t> written = folder.logWritten;
  for (const auto& [name, bytes] : killed) EXPECT_EQ(bytes.back(), '\0') << name;

  History decided;
  MemoryShelf deciding(folder);
  ReadHistory(deciding, 0, &decided);
  EXPECT_EQ(folder.logs, killed);
  Decision cutting;
  cutting.cuts = decided.cuts;
  MemoryCommand command(folder, folder.Digits());
  Execute(cutting, command);
  History read = decided;
  EXPECT_EQ(folder.logs.count(empty), 0u);
  EXPECT_EQ(folder.logs.at(damaged), killed.at(damaged));
  for (const auto& [name, bytes] : folder.logs) {
    if (name == damaged) continue;
    const std::string& before = killed.at(name);
    EXPECT_EQ(bytes, before.substr(0, before.find('\0'))) << name;
    EXPECT_EQ(folder.logWritten.at(name), written.at(name)) << name;
  }
  // The same history from the logs cut as from the logs killed; the command
  // of the log that went did nothing, and is no more.
  History again;
  MemoryShelf rereading(folder);
  ReadHistory(rereading, 0, &again);
  const LoggedCommand* run = decided.Find(killedDigits.c_str());
  ASSERT_NE(run, nullptr);
  EXPECT_EQ(run->secondPhaseRows, 1);  // killed between a rename and its rows
  for (const History* h : {&read, &again}) {
    const LoggedCommand* same = h->Find(killedDigits.c_str());
    ASSERT_NE(same, nullptr);
    EXPECT_EQ(same->state, LogState::kRead);
    EXPECT_EQ(same->secondPhaseRows, run->secondPhaseRows);
    ASSERT_EQ(same->placements.size(), run->placements.size());
    for (std::size_t p = 0; p < run->placements.size(); ++p) {
      EXPECT_TRUE(same->placements[p].before == run->placements[p].before) << p;
      EXPECT_TRUE(same->placements[p].after == run->placements[p].after) << p;
    }
    EXPECT_EQ(h->Find("20991231235958")->state, LogState::kUnreadable);
  }
  EXPECT_EQ(read.Find("20991231235959")->state, LogState::kNothing);
  EXPECT_EQ(again.Find("20991231235959"), nullptr);
}

// Pages a cut lost among the first-phase rows: rows after the last barrier
// while the second phase had not begun; damage once it had, since its
// barrier put them all on the disk first.
TEST(History, PagesLostAmongFirstPhaseRowsAreDamageOnceTheSecondPhaseBegan) {
  const std::string first1 = "OK,G0000001.pcx,_tmp_1700000000_G0000001.pcx,2023/11/14,22:13:20:00\n";
  const std::string first2 = "OK,G0000002.pcx,_tmp_1700000000_G0000002.pcx,2023/11/14,22:13:20:00\n";
  const std::string second = "OK,_tmp_1700000000_G0000002.pcx,G0000000.pcx,2023/11/14,22:13:20:00\n";
  std::string log = LogHeadText(LogKind::kProcess, "") + first1;
  log.resize((log.size() / 64 + 2) * 64, '\0');  // a whole page lost after the first row
  for (const bool secondPhase : {false, true}) {
    MemoryFolder folder;
    folder.pageBytes = 64;
    const std::string name = "VeltraskoAll_20231114221320.csv";
    folder.logs[name] = log + first2 + (secondPhase ? second : "");
    folder.logWritten[name] = 1700000000;
    const MemoryFolder& unchanged = folder;
    MemoryShelf shelf(unchanged);
    History history;
    ReadHistory(shelf, 0, &history);
    ASSERT_EQ(history.commands.size(), 1u);
    EXPECT_EQ(history.commands[0].state, secondPhase ? LogState::kUnreadable : LogState::kRead);
  }
}

// What one kill or two in a row left of a rename by link or by reservation,
// told before any log is followed: the name the rename made goes, the one it
// came from stays. Identity tells a second name, emptiness a reservation, and
// only while a file is at a temporary name (a kill left one).
TEST(SecondNames, TheNameARenameMadeGoesAndTheOneItCameFromStays) {
  const auto marked = [](const MemoryFolder& folder) {
    History history;
    std::vector<Track> tracks = folder.Tracks(history.stamps);
    MarkSecondNames(history, tracks, folder.Linked());
    std::map<std::string, std::string> artifacts;  // name -> the name kept
    for (const Track& t : tracks) {
      if (t.state != TrackState::kArtifact) continue;
      char name[64];
      char kept[64];
      FolderNameText(t.name, history.stamps, name);
      FolderNameText(t.at, history.stamps, kept);
      artifacts[name] = kept;
    }
    return artifacts;
  };
  using Marks = std::map<std::string, std::string>;
  // A second phase: from a temporary name to a target.
  MemoryFolder second;
  second.Add("G0000003.pcx", "three", Ticks(10));
  second.files["G0000000.pcx"] = second.Add("_tmp_5_G0000003.pcx", "shot", Ticks(20));
  EXPECT_EQ(marked(second), (Marks{{"G0000000.pcx", "_tmp_5_G0000003.pcx"}}));
  // A first phase: from a screenshot name to the temporary name holding it.
  MemoryFolder first;
  first.files["_tmp_5_G0000003.pcx"] = first.Add("G0000003.pcx", "shot", Ticks(20));
  EXPECT_EQ(marked(first), (Marks{{"_tmp_5_G0000003.pcx", "G0000003.pcx"}}));
  // The same names, content and time, but two files: nothing.
  MemoryFolder two;
  two.Add("_tmp_5_G0000003.pcx", "shot", Ticks(20));
  two.Add("G0000000.pcx", "shot", Ticks(20));
  EXPECT_EQ(marked(two), Marks{});
  // Reservations: an empty target while a file is at a temporary name, an
  // empty temporary name whose screenshot name still holds its file.
  MemoryFolder reserved;
  reserved.Add("_tmp_5_G0000003.pcx", "shot", Ticks(20));
  reserved.Add("G0000000.pcx", "", Ticks(99));
  reserved.Add("G0000001.pcx", "one", Ticks(30));
  reserved.Add("_tmp_6_G0000001.pcx", "", Ticks(99));
  EXPECT_EQ(marked(reserved),
            (Marks{{"G0000000.pcx", "_tmp_5_G0000003.pcx"}, {"_tmp_6_G0000001.pcx", "G0000001.pcx"}}));
  // No file at a temporary name: an empty screenshot is a file like any.
  MemoryFolder plain;
  plain.Add("G0000000.pcx", "", Ticks(99));
  plain.Add("G0000001.pcx", "one", Ticks(30));
  EXPECT_EQ(marked(plain), Marks{});
}

}  // namespace
}  // namespace shotrenum::testing

namespace shotrenum::testing {
namespace {

// An undo killed halfway leaves its run half taken back; a plain run then
// finishes (and renumbers) what it finds at the undo's temporary names. That
// run is what stands now: an undo of the first run names it, never "taken
// back already". An undo killed after its last rename took its run back.
TEST(Stack, AfterAKilledUndoAndARunTheRunStands) {
  long named = 0;
  for (long at = 1;; ++at) {
    MemoryFolder folder = ThreeShots();
    const std::string a = RunNow(folder);
    folder.killAt = folder.steps + at;
    bool killed = false;
    try {
      UndoIn(folder, a);
    } catch (const Killed&) {
      killed = true;
    }
    folder.killAt = -1;
    if (!killed) break;
    const bool halfway = std::any_of(folder.files.begin(), folder.files.end(),
                                     [](const auto& file) { return file.first.rfind("_tmp_", 0) == 0; });
    const std::string r = RunNow(folder);
    if (folder.logs.count(ProcessLog(r)) == 0) continue;  // the run found all in order
    History history;
    const UndoChoice choice = Choose(folder, a, history);
    if (halfway) {
      ++named;
      EXPECT_EQ(choice.refusal, UndoRefusal::kLaterStands) << "killed at " << at;
      EXPECT_EQ(choice.name, ProcessLog(r)) << "killed at " << at;
    } else {
      EXPECT_EQ(choice.refusal, UndoRefusal::kAlready) << "killed at " << at;
    }
  }
  EXPECT_GT(named, 0);
}

}  // namespace
}  // namespace shotrenum::testing

namespace shotrenum::testing {
namespace {

// A finished run whose rows were all lost (NULs after its heads, as a power
// cut leaves a log where nothing orders the writes) was never taken back:
// the undo refuses and says its logs hold no rename.
TEST(Refusals, ALogWithNoRenameIsNeverTakenBackAlready) {
  MemoryFolder folder = ThreeShots();
  const std::string run = RunNow(folder);
  for (auto& [name, bytes] : folder.logs) {
    const std::string head =
        LogHeadText(name.find("All_") != std::string::npos ? LogKind::kProcess : LogKind::kResult, "");
    bytes = head + std::string(bytes.size() - head.size(), '\0');
  }
  History history;
  const UndoChoice choice = Choose(folder, run, history);
  EXPECT_EQ(choice.refusal, UndoRefusal::kNoRows);
  EXPECT_EQ(choice.name, ProcessLog(run));
}

// A file deleted since the run is a file not back, as one that could not
// move is; a name shaped like a log's but not one (a letter among its
// digits) is not read as a log, and stops no undo.
TEST(Planner, CountsAFileDeletedSinceTheRunAndIgnoresANameThatIsNoLog) {
  MemoryFolder folder = ThreeShots();
  const std::string run = RunNow(folder);
  folder.files.erase("G0000001.pcx");
  const std::string stray = "VeltraskoLog_2099123123595x.csv";
  folder.logs[stray] = "not a log";
  folder.logWritten[stray] = 0;
  History history;
  const UndoChoice choice = Choose(folder, run, history);
  ASSERT_EQ(choice.refusal, UndoRefusal::kNone);
  EXPECT_EQ(choice.plan.missing, 1);
  EXPECT_EQ(choice.plan.files, 2);
  ASSERT_TRUE(UndoIn(folder, run));
  EXPECT_EQ(folder.files.at("G0000002.pcx").content, "two");
  EXPECT_EQ(folder.files.at("G0000001.pcx").content, "one");
  EXPECT_EQ(folder.files.count("G0000000.pcx"), 0u);
}

}  // namespace
}  // namespace shotrenum::testing
