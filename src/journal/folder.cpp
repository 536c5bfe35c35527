#include "journal/folder.h"

#include <cstdio>

#include "platform/filetime.h"
#include "platform/platform.h"
#include "rename/run_log.h"

namespace shotrenum {

namespace {

// A log file, closed with its reader.
class OwnedFileSource : public FileSource {
 public:
  explicit OwnedFileSource(std::FILE* file) : FileSource(file), file_(file) {}
  ~OwnedFileSource() override { std::fclose(file_); }
  OwnedFileSource(const OwnedFileSource&) = delete;
  OwnedFileSource& operator=(const OwnedFileSource&) = delete;

 private:
  std::FILE* file_;
};

}  // namespace

namespace {

// The log an entry of a listing is, if it is one.
void NoteLog(FolderSearch* search, const FolderEntry& entry, std::vector<ListedLog>* logs) {
  FILETIME written{};
  bool empty = false;
  const bool known = FolderEntryTime(search, &written, &empty) == EntryTime::kRead;
  logs->push_back(ListedLog{entry.name, known ? SecondsOfFileTime(written) : -1});
}

}  // namespace

ScanResult CountShotsListingLogs(long* count, std::vector<ListedLog>* logs) {
  *count = 0;
  FolderSearch* search = nullptr;
  const ScanResult started = StartScan("*", &search);
  if (search == nullptr) return started;
  FolderEntry entry;
  ListingStep step;
  while ((step = NextFolderEntry(search, &entry)) == ListingStep::kEntry) {
    if (MatchesPattern(entry.name, kShotSearchPattern)) {
      if (Classify(entry).shot) ++*count;
    } else if (MatchesPattern(entry.name, kLogSearchPattern)) {
      NoteLog(search, entry, logs);
    }
  }
  EndFolderSearch(search);
  return step == ListingStep::kEnd ? ScanResult::kComplete : ScanResult::kBroken;
}

bool FolderShelf::List(std::vector<ListedLog>* logs) {
  if (given_) {
    *logs = listed_;
    return true;
  }
  FolderSearch* search = nullptr;
  switch (StartFolderSearch(kLogSearchPattern, &search)) {
    case SearchStart::kNothing:
      return true;
    case SearchStart::kFailed:
      return false;
    case SearchStart::kStarted:
      break;
  }
  FolderEntry entry;
  ListingStep step;
  while ((step = NextFolderEntry(search, &entry)) == ListingStep::kEntry) NoteLog(search, entry, logs);
  EndFolderSearch(search);
  return step == ListingStep::kEnd;
}

LogShelf::Open FolderShelf::OpenLog(const char* name, std::unique_ptr<ByteSource>* source) {
  std::FILE* file = nullptr;
  switch (OpenFileForReading(name, &file)) {
    case OpenForReading::kOpened:
      // A log holds rows of a few dozen bytes: read in large pieces.
      std::setvbuf(file, nullptr, _IOFBF, 1 << 16);
      *source = std::make_unique<OwnedFileSource>(file);
      return Open::kOpened;
    case OpenForReading::kMissing:
      return Open::kMissing;
    case OpenForReading::kNotAFile:
      return Open::kNotAFile;
    case OpenForReading::kFailed:
      break;
  }
  return Open::kFailed;
}

namespace {

ScanResult List(StampTable& stamps, std::vector<Track>* tracks, StampsInUse* inUse, std::vector<ListedLog>* logs,
                LinkedNames* linked, bool temporaryOnly) {
  long count = 0;
  const ScanResult counted = CountShotsListingLogs(&count, logs);
  if (counted != ScanResult::kComplete) return counted;
  if (!temporaryOnly) tracks->reserve(static_cast<std::size_t>(count) + 16);
  *inUse = StampsInUse{CurrentRunStamp(), 0};
  FolderSearch* search = nullptr;
  const ScanResult started = StartScan(kShotSearchPattern, &search);
  if (search == nullptr) return started;
  FolderEntry entry;
  ListingStep step = ListingStep::kEnd;
  ScanResult result = ScanResult::kComplete;
  while (result == ScanResult::kComplete && (step = NextFolderEntry(search, &entry)) == ListingStep::kEntry) {
    const Listed listed = Classify(entry);
    if (listed.stranded) MarkStampInUse(inUse, listed.stamp);
    FolderName name;
    if (!ReadFolderName(entry.name, stamps, &name) || (temporaryOnly && !name.IsTemporary())) continue;
    Track track{name, name, FILETIME{0, 0}, TrackState::kUntouched, false, false, false};
    bool empty = false;
    if (!listed.shot) {
      track.state = TrackState::kObstacle;
    } else {
      switch (FolderEntryTime(search, &track.writeTime, &empty)) {
        case EntryTime::kVanished:
          continue;
        case EntryTime::kFailed:
          // A file whose time is unknown cannot be told from another.
          result = ScanResult::kBroken;
          continue;
        case EntryTime::kRead:
          break;
      }
      FileIdentity identity;
      if (FolderEntryLinked(search, &identity)) linked->Add(entry.name, identity);
    }
    track.empty = empty;
    tracks->push_back(track);
  }
  EndFolderSearch(search);
  if (result == ScanResult::kComplete && step != ListingStep::kEnd) result = ScanResult::kBroken;
  return result;
}

}  // namespace

ScanResult ListTracks(StampTable& stamps, std::vector<Track>* tracks, StampsInUse* inUse, std::vector<ListedLog>* logs,
                      LinkedNames* linked) {
  return List(stamps, tracks, inUse, logs, linked, false);
}

ScanResult ListTemporaryTracks(StampTable& stamps, std::vector<Track>* tracks, std::vector<ListedLog>* logs) {
  StampsInUse inUse{};
  LinkedNames linked;
  return List(stamps, tracks, &inUse, logs, &linked, true);
}

}  // namespace shotrenum
