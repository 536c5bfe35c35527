// The move of a run whose renames touch nothing, for the tests of its logs:
// what the two logs hold when the move ends, and what they must hold.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/filetime.h"
#include "platform/platform.h"
#include "rename/mover.h"
#include "rename/run_log.h"
#include "shots/temp_name.h"
#include "texts.h"

namespace shotrenum::testing {

inline constexpr std::int64_t kMoveStamp = 1302685507;
inline constexpr CalendarTime kMoveStart{2011, 4, 13, 9, 5, 7, 0};
// A file time with no calendar date: its rows show zeros whatever the zone.
inline const FILETIME kUndated = FileTimeFromTicks(std::uint64_t{1} << 63);
inline constexpr char kUndatedColumns[] = ",0000/00/00,00:00:00:00\n";

// n screenshots G0000000.pcx.., each to the name of the one at the other
// end; the first `stranded` of them from the temporary names a run with the
// stamp 1 left them at.
class ReversedShots : public MoveList {
 public:
  ReversedShots(long n, long stranded) : n_(n), stranded_(stranded) {}
  long Count() const override { return n_; }
  MoveStep At(long i, char (&fromRoom)[64], char (&toRoom)[64]) const override {
    char name[32];
    std::snprintf(name, sizeof name, "G%07ld.pcx", i);
    if (i < stranded_) {
      TempName(fromRoom, 1, name);
    } else {
      std::snprintf(fromRoom, sizeof fromRoom, "%s", name);
    }
    std::snprintf(toRoom, sizeof toRoom, "G%07ld.pcx", n_ - 1 - i);
    return MoveStep{fromRoom, i < stranded_, toRoom, kUndated, false};
  }

  // What the log of `kind` must hold (lines ending in "\n").
  std::string Log(LogKind kind) const {
    std::string log = LogHeadText(kind, "");
    char from[64];
    char to[64];
    char temp[kTempNameRoom];
    if (kind == LogKind::kProcess) {
      for (long i = stranded_; i < n_; ++i) {
        const MoveStep step = At(i, from, to);
        TempName(temp, kMoveStamp, step.from);
        log += std::string("OK,") + step.from + "," + temp + kUndatedColumns;
      }
    }
    for (long i = 0; i < n_; ++i) {
      const MoveStep step = At(i, from, to);
      TempName(temp, kMoveStamp, step.from);
      const char* source = kind == LogKind::kResult || step.fromTemporary ? step.from : temp;
      log += std::string("OK,") + source + "," + step.to + kUndatedColumns;
    }
    return log;
  }

 private:
  long n_;
  long stranded_;
};

// The folder's logs, with renames that touch nothing; notes how the logs
// stood at the first rename.
class LogsOnly : public FolderSink {
 public:
  LogsOnly(RunLog& processLog, RunLog& resultLog)
      : FolderSink(processLog, resultLog, kMoveStart, ""), processLog_(processLog), resultLog_(resultLog) {}
  RenameResult Rename(const char*, const char*) override {
    if (renames++ == 0) {
      char result[64];
      LogFileName(result, LogKind::kResult, kMoveStart);
      resultAtFirstRename = FileExists(result);
      processMappedAtFirstRename = processLog_.mapped;
      resultMappedAtFirstRename = resultLog_.mapped;
    }
    return RenameResult::kRenamed;
  }
  void Show(const char*, long) override {}

  long renames = 0;
  bool resultAtFirstRename = false;
  bool processMappedAtFirstRename = false;
  bool resultMappedAtFirstRename = false;

 private:
  RunLog& processLog_;
  RunLog& resultLog_;
};

// A run of the move in the current folder, its logs closed.
struct MovedRun {
  RunLog process;
  RunLog result;
  bool resultAtFirstRename;
  bool processMappedAtFirstRename;
  bool resultMappedAtFirstRename;
};

inline MovedRun MoveIntoLogs(const ReversedShots& shots) {
  MovedRun run{OpenRunLog(LogKind::kProcess, kMoveStart), RunLog{}, false, false, false};
  LogsOnly sink(run.process, run.result);
  MoveInTwoPhases(kMoveStamp, shots, sink);
  run.resultAtFirstRename = sink.resultAtFirstRename;
  run.processMappedAtFirstRename = sink.processMappedAtFirstRename;
  run.resultMappedAtFirstRename = sink.resultMappedAtFirstRename;
  CloseRunLog(run.result);
  CloseRunLog(run.process);
  return run;
}

// A log file read as text: a CR LF comes back as LF on Windows.
inline std::string TextOf(const char* name) {
  std::ifstream in(name);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Both logs hold every row of the move, and told of no trouble; the result
// log was there at the first rename exactly where the process log's rows
// were stored into a mapping. (Compared whole, but not shown: long logs.)
inline void ExpectWholeLogs(const ReversedShots& shots, const MovedRun& run, bool mapped, bool resultMapped) {
  EXPECT_EQ(run.processMappedAtFirstRename, mapped);
  EXPECT_EQ(run.resultAtFirstRename, mapped);
  EXPECT_EQ(run.resultMappedAtFirstRename, resultMapped);
  EXPECT_TRUE(TextOf(run.process.fileName) == shots.Log(LogKind::kProcess));
  EXPECT_TRUE(TextOf(run.result.fileName) == shots.Log(LogKind::kResult));
  EXPECT_FALSE(run.process.fileFailed || run.result.fileFailed || run.process.rowsLost || run.result.rowsLost);
}

}  // namespace shotrenum::testing
