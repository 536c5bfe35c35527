// A folder in memory, on which the tool's decisions and its one mover run as
// they run on a real folder: files (a name may be a second name of a file),
// folders that hold names, and the logs as bytes. Every step that a kill can
// come between (a rename and each of its fallback steps, the removal of
// what a kill left, the creation of a log, each row) is counted, and a kill
// before any one of them can be asked for: the command then stops there, as
// a killed process does. The logs are kept as the tool stores them into
// mappings: before the first rename each gets the room for all its rows as
// NUL bytes (the result log is created then, with no step of its own), and
// each row takes the place of the NULs at the start of what is left of them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "journal/history.h"
#include "journal/tracks.h"
#include "rename/executor.h"
#include "rename/mover.h"
#include "shots/shot_record.h"

namespace shotrenum::testing {

// Thrown at the step a kill was asked for.
struct Killed {};

// How renames go on the folder's file system.
enum class RenamePath {
  kNoReplace,    // one atomic rename that never replaces
  kLink,         // a link, then an unlink of the old name
  kReservation,  // an empty file created at the new name, then a rename over it
};

struct MemoryFile {
  int id;  // a second name of a file has its id
  std::string content;
  std::uint64_t ticks;  // last-write time
};

class MemoryFolder {
 public:
  std::map<std::string, MemoryFile> files;
  std::set<std::string> folders;
  std::map<std::string, std::string> logs;
  std::map<std::string, std::int64_t> logWritten;  // when each log was last written
  RenamePath path = RenamePath::kNoReplace;
  std::int64_t clock = 1700000000;  // the stamp the next command takes
  std::int64_t now = 1700000000;    // the time the command running now started
  std::int64_t offset = 0;          // the local time zone's offset from UTC now
  long steps = 0;                   // steps counted so far
  long killAt = -1;                 // the step before which a kill comes; -1: none
  // What a power cut keeps of the logs: each log's bytes as of the last
  // barrier that made it durable (none: a log no barrier reached yet), and
  // the barriers in the order commands made them.
  std::map<std::string, std::string> durableLogs;
  std::vector<Barrier> barriers;
  // The renames in the order made (no-replace renames only), and how many of
  // them a barrier that made the folder durable covers: a cut may lose any
  // of the later ones, the latest first.
  std::vector<std::pair<std::string, std::string>> renameLog;
  std::size_t durableRenames = 0;
  // The unit in which a cut keeps or loses a log's later bytes: the page of
  // the file system, small here so that the model's short logs span pages.
  std::size_t pageBytes = 4096;
  // Another program cutting a log of the command running now to its first
  // `cutKeep` bytes: as the `cutAtRow`-th row (from 1) is given to the log
  // of kind `cutLog`, which then never holds it, or with 0 after its last
  // row. -1: never. The command is to write the log whole again.
  long cutAtRow = -1;
  LogKind cutLog = LogKind::kProcess;
  std::size_t cutKeep = 0;
  long rowsToCutLog = 0;  // rows given to it so far
  long restarts = 0;      // logs the commands wrote whole again
  // A rename that fails and touches nothing (no access, or another program
  // holding the file through every wait): the failAt-th one counted in
  // `renames`; -1: none.
  long renames = 0;
  long failAt = -1;
  RenameResult failAs = RenameResult::kFailed;

  MemoryFile& Add(const std::string& name, const std::string& content, std::uint64_t ticks);
  // Counts a step; throws Killed before the one asked for.
  void Step();
  bool Exists(const std::string& name) const { return files.count(name) != 0 || folders.count(name) != 0; }
  RenameResult Rename(const std::string& from, const std::string& to);
  bool RemoveArtifact(const std::string& extra, const std::string& kept, bool empty);

  // The set a run lists (records) and the tracks an undo lists.
  std::vector<ShotRecord> Records() const;
  std::vector<Track> Tracks(StampTable& stamps) const;
  // Its files of more than one name, as a listing finds them.
  LinkedNames Linked() const;

  // The digits of log names a command started now bears.
  std::string Digits() const;
  // A log created new, holding its head: false when its name is taken.
  bool CreateLog(const std::string& name, const std::string& head);
};

// The folder's logs, read only.
class MemoryShelf : public LogShelf {
 public:
  explicit MemoryShelf(const MemoryFolder& folder) : folder_(folder) {}
  bool List(std::vector<ListedLog>* logs) override;
  Open OpenLog(const char* name, std::unique_ptr<ByteSource>* source) override;
  std::size_t PageBytes() const override { return folder_.pageBytes; }

 private:
  const MemoryFolder& folder_;
};

// The move acting on the memory folder: renames and rows are its steps.
class MemorySink : public MoveSink {
 public:
  MemorySink(MemoryFolder& folder, const std::string& digits, const std::string& undoneLog)
      : folder_(folder), digits_(digits), undoneLog_(undoneLog) {}
  RenameResult Rename(const char* from, const char* to) override;
  bool Row(LogKind log, bool ok, const char* before, const char* after, FILETIME writeTime) override;
  bool Whole(LogKind log) override;
  void Restart(LogKind log) override;
  std::uint64_t RowBytes(const char* before, const char* after, FILETIME writeTime) override;
  void Begin(std::uint64_t processRowBytes, std::uint64_t resultRowBytes) override;
  void SecondPhase() override {}
  void Show(const char*, long) override {}
  bool MakeDurable(Barrier barrier) override;
  std::string LogName(LogKind kind) const;

 private:
  MemoryFolder& folder_;
  std::string digits_;
  std::string undoneLog_;
};

// The memory folder as the executor acts on it: cutting a log and removing
// a leftover are steps too.
class MemoryCommand : public CommandSink {
 public:
  MemoryCommand(MemoryFolder& folder, const std::string& digits) : folder_(folder), digits_(digits) {}
  void CutLog(const LogCut& cut) override;
  void RemoveLeftover(const Leftover& leftover) override;
  std::int64_t TakeStamp(const StampsInUse&) override { return folder_.now; }
  bool OpenLogs(std::int64_t stamp, const char* undoneLog) override;
  MoveSink& Moves() override { return *moves_; }
  void CloseLogs(long) override {}

 private:
  MemoryFolder& folder_;
  std::string digits_;
  std::unique_ptr<MemorySink> moves_;
};

// The tool's commands on the memory folder, decided and carried out by the
// tool's own decisions and executor.
// Each takes the folder's clock as its stamp and moves the clock on.
void RunIn(MemoryFolder& folder);
// The undo of the command whose logs bear `digits`; whether it was done
// (not refused).
// `missing`, where given, receives how many files the undo took for gone.
bool UndoIn(MemoryFolder& folder, const std::string& digits, long* missing = nullptr);

}  // namespace shotrenum::testing
