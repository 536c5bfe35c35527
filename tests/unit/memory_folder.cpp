#include "memory_folder.h"

#include <algorithm>
#include <cstring>

#include "journal/decide_run.h"
#include "journal/undo_choice.h"
#include "platform/filetime.h"
#include "rename/renumber.h"
#include "rename/run_log.h"
#include "shots/folder_name.h"
#include "shots/scan.h"
#include "shots/temp_name.h"

namespace shotrenum::testing {

namespace {

// A log owned by its reader.
class OwnedText : public ByteSource {
 public:
  explicit OwnedText(std::string text) : text_(std::move(text)), source_(text_) {}
  long Read(char* into, std::size_t room) override { return source_.Read(into, room); }

 private:
  std::string text_;
  TextSource source_;
};

CalendarTime LocalOf(std::uint64_t ticks, std::int64_t offset) {
  CalendarTime local{};
  std::uint64_t shifted;
  if (!ShiftTicks(ticks, offset, &shifted) || !CalendarOfTicks(shifted, &local)) local = CalendarTime{};
  return local;
}

}  // namespace

MemoryFile& MemoryFolder::Add(const std::string& name, const std::string& content, std::uint64_t ticks) {
  static int nextId = 0;
  return files[name] = MemoryFile{++nextId, content, ticks};
}

void MemoryFolder::Step() {
  ++steps;
  if (steps == killAt) throw Killed{};
}

RenameResult MemoryFolder::Rename(const std::string& from, const std::string& to) {
  if (++renames == failAt) {
    Step();
    return failAs;
  }
  switch (path) {
    case RenamePath::kNoReplace:
      Step();
      if (Exists(to) || files.count(from) == 0) return RenameResult::kFailed;
      files[to] = files[from];
      files.erase(from);
      renameLog.emplace_back(from, to);
      return RenameResult::kRenamed;
    case RenamePath::kLink:
      Step();
      if (Exists(to) || files.count(from) == 0) return RenameResult::kFailed;
      files[to] = files[from];
      Step();
      files.erase(from);
      return RenameResult::kRenamed;
    case RenamePath::kReservation:
      Step();
      if (Exists(to)) return RenameResult::kFailed;
      Add(to, "", FileTimeTicks(FileTimeFromUnix(clock, 0)));
      Step();
      if (files.count(from) == 0) {
        files.erase(to);
        return RenameResult::kFailed;
      }
      files[to] = files[from];
      files.erase(from);
      return RenameResult::kRenamed;
  }
  return RenameResult::kFailed;
}

bool MemoryFolder::RemoveArtifact(const std::string& extra, const std::string& kept, bool empty) {
  Step();
  const auto at = files.find(extra);
  if (at == files.end()) return false;
  const auto other = files.find(kept);
  if (empty ? !at->second.content.empty() : other == files.end() || other->second.id != at->second.id) return false;
  files.erase(at);
  return true;
}

std::vector<ShotRecord> MemoryFolder::Records() const {
  std::vector<ShotRecord> records;
  const auto add = [&](const std::string& name, bool isDirectory, const MemoryFile* file) {
    const Listed listed = Classify(FolderEntry{name.c_str(), isDirectory});
    if (!listed.shot) return;
    ShotRecord r{};
    std::snprintf(r.name, sizeof r.name, "%s", listed.name);
    r.stranded = listed.stranded;
    r.empty = file->content.empty();
    r.writeTime = FileTimeFromTicks(file->ticks);
    SetStrandedStamp(r, listed.stamp);
    records.push_back(r);
  };
  for (const auto& [name, file] : files) add(name, false, &file);
  return records;
}

std::vector<Track> MemoryFolder::Tracks(StampTable& stamps) const {
  std::vector<Track> tracks;
  for (const auto& [name, file] : files) {
    FolderName folderName;
    if (!ReadFolderName(name.c_str(), stamps, &folderName)) continue;
    Track t{folderName, folderName, FileTimeFromTicks(file.ticks), TrackState::kUntouched, false, false, false};
    t.empty = file.content.empty();
    tracks.push_back(t);
  }
  for (const std::string& name : folders) {
    FolderName folderName;
    if (!ReadFolderName(name.c_str(), stamps, &folderName)) continue;
    tracks.push_back(Track{folderName, folderName, FILETIME{0, 0}, TrackState::kObstacle, false, false, false});
  }
  return tracks;
}

std::string MemoryFolder::Digits() const {
  const CalendarTime local = LocalOf(FileTimeTicks(FileTimeFromUnix(clock, 0)), offset);
  char digits[16];
  LogDigits(digits, local);
  return digits;
}

bool MemoryFolder::CreateLog(const std::string& name, const std::string& head) {
  // The file is made, then its head written: a kill can come between.
  Step();
  if (logs.count(name) != 0) return false;
  logs[name] = "";
  logWritten[name] = now;
  Step();
  logs[name] = head;
  return true;
}

bool MemoryShelf::List(std::vector<ListedLog>* logs) {
  for (const auto& [name, bytes] : folder_.logs) logs->push_back(ListedLog{name, folder_.logWritten.at(name)});
  return true;
}

LogShelf::Open MemoryShelf::OpenLog(const char* name, std::unique_ptr<ByteSource>* source) {
  const auto at = folder_.logs.find(name);
  if (at == folder_.logs.end()) return Open::kMissing;
  *source = std::make_unique<OwnedText>(at->second);
  return Open::kOpened;
}

LinkedNames MemoryFolder::Linked() const {
  std::map<int, int> names;  // by id
  for (const auto& [name, file] : files) ++names[file.id];
  LinkedNames linked;
  for (const auto& [name, file] : files) {
    if (names[file.id] > 1) linked.Add(name.c_str(), FileIdentity{1, static_cast<std::uint64_t>(file.id)});
  }
  return linked;
}

RenameResult MemorySink::Rename(const char* from, const char* to) { return folder_.Rename(from, to); }

std::string MemorySink::LogName(LogKind kind) const {
  char name[64];
  LogFileName(name, kind, digits_.c_str());
  return name;
}

namespace {

// The other program's cut of `bytes`, when it comes now.
bool CutNow(MemoryFolder& folder, LogKind log, long atRow, std::string& bytes) {
  if (folder.cutLog != log || folder.cutAtRow != atRow) return false;
  folder.cutAtRow = -1;
  bytes.resize(std::min(bytes.size(), folder.cutKeep));
  return true;
}

}  // namespace

bool MemorySink::Whole(LogKind log) { return !CutNow(folder_, log, 0, folder_.logs[LogName(log)]); }

void MemorySink::Restart(LogKind log) {
  ++folder_.restarts;
  folder_.logs[LogName(log)] = LogHeadText(log, undoneLog_.c_str());
}

bool MemorySink::Row(LogKind log, bool ok, const char* before, const char* after, FILETIME writeTime) {
  std::string& bytes = folder_.logs[LogName(log)];
  if (log == folder_.cutLog && CutNow(folder_, log, ++folder_.rowsToCutLog, bytes)) return false;
  const std::string row = LogRowText(ok, before, after, LocalOf(FileTimeTicks(writeTime), folder_.offset));
  const std::size_t at = std::min(bytes.find('\0'), bytes.size());
  try {
    folder_.Step();
  } catch (const Killed&) {
    // A kill as a row is stored into its room leaves its first bytes.
    if (at < bytes.size()) bytes.replace(at, row.size() / 2, row.substr(0, row.size() / 2));
    throw;
  }
  bytes.replace(at, row.size(), row);
  folder_.logWritten[LogName(log)] = folder_.now;
  return true;
}

std::uint64_t MemorySink::RowBytes(const char* before, const char* after, FILETIME writeTime) {
  return LogRowText(true, before, after, LocalOf(FileTimeTicks(writeTime), folder_.offset)).size();
}

void MemorySink::Begin(std::uint64_t processRowBytes, std::uint64_t resultRowBytes) {
  // Only a process log this command created (holding its head alone) gets room.
  std::string& process = folder_.logs[LogName(LogKind::kProcess)];
  if (process == LogHeadText(LogKind::kProcess, undoneLog_.c_str())) process.append(processRowBytes, '\0');
  const std::string result = LogName(LogKind::kResult);
  if (folder_.logs.count(result) != 0) return;
  folder_.logs[result] = LogHeadText(LogKind::kResult, undoneLog_.c_str()) + std::string(resultRowBytes, '\0');
  folder_.logWritten[result] = folder_.now;
}

void MemoryCommand::CutLog(const LogCut& cut) {
  folder_.Step();
  if (cut.length > 0) {
    folder_.logs.at(cut.name).resize(cut.length);
    return;
  }
  folder_.logs.erase(cut.name);
  folder_.logWritten.erase(cut.name);
}

void MemoryCommand::RemoveLeftover(const Leftover& leftover) {
  folder_.RemoveArtifact(leftover.extra, leftover.kept, leftover.empty);
}

bool MemoryCommand::OpenLogs(std::int64_t, const char* undoneLog) {
  moves_ = std::make_unique<MemorySink>(folder_, digits_, undoneLog);
  const bool created = folder_.CreateLog(moves_->LogName(LogKind::kProcess), LogHeadText(LogKind::kProcess, undoneLog));
  return created || undoneLog[0] == '\0';
}

bool MemorySink::MakeDurable(Barrier barrier) {
  folder_.barriers.push_back(barrier);
  folder_.durableRenames = folder_.renameLog.size();
  // Both logs of the command, whatever the barrier: what a barrier keeps
  // beyond what it guards only makes a cut keep more.
  for (const LogKind kind : {LogKind::kProcess, LogKind::kResult}) {
    const auto at = folder_.logs.find(LogName(kind));
    if (at != folder_.logs.end()) folder_.durableLogs[at->first] = at->second;
  }
  return true;
}

void RunIn(MemoryFolder& folder) {
  folder.now = folder.clock;
  const std::string digits = folder.Digits();
  folder.clock += 3607;
  std::vector<ShotRecord> records = folder.Records();
  if (records.empty()) return;
  MemoryShelf shelf(folder);
  RunChoice choice =
      DecideRun(shelf, folder.Linked(), records.data(), static_cast<long>(records.size()), StampsInUse{});
  if (choice.verdict == RunVerdict::kOutOfMemory) return;
  const RecordMoves moves(records.data(), choice.n);
  if (choice.verdict == RunVerdict::kRenumber) choice.decision.moves = &moves;
  MemoryCommand command(folder, digits);
  Execute(choice.decision, command);
}

bool UndoIn(MemoryFolder& folder, const std::string& digits, long* missing) {
  folder.now = folder.clock;
  const std::string ownDigits = folder.Digits();
  folder.clock += 3607;
  History history;
  std::vector<Track> tracks = folder.Tracks(history.stamps);
  MemoryShelf shelf(folder);
  ReadHistory(shelf, HorizonOfUndo(digits.c_str()), &history, digits.c_str());
  UndoChoice choice = ChooseUndo(history, tracks, digits.c_str(), folder.Linked(), false);
  if (choice.refusal != UndoRefusal::kNone) return false;
  if (missing != nullptr) *missing = choice.plan.missing;
  const PlanMoves moves(tracks, choice.plan, history.stamps);
  choice.decision.moves = &moves;
  MemoryCommand command(folder, ownDigits);
  Execute(choice.decision, command);
  return true;
}

}  // namespace shotrenum::testing
