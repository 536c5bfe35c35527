// The journal's view of the current folder through the platform: its logs,
// its files as tracks, and whether two names are one file.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "journal/history.h"
#include "journal/tracks.h"
#include "shots/folder_name.h"
#include "shots/scan.h"
#include "shots/temp_name.h"

namespace shotrenum {

// The current folder's logs: listed when asked, or as a listing of the
// folder found them already. `cutsTails`: the command may change the folder
// (a preview may not), so the NULs a killed command left in a log go as the
// log is read; the log keeps the time it was last written.
class FolderShelf : public LogShelf {
 public:
  explicit FolderShelf(bool cutsTails = true) : cutsTails_(cutsTails) {}
  explicit FolderShelf(std::vector<ListedLog> listed) : listed_(std::move(listed)), given_(true) {}
  bool List(std::vector<ListedLog>* logs) override;
  Open OpenLog(const char* name, std::unique_ptr<ByteSource>* source) override;
  void CutLog(const char* name, std::uint64_t length) override;

 private:
  std::vector<ListedLog> listed_;
  bool given_ = false;
  bool cutsTails_ = true;
};

class FolderIdentity : public FolderFacts {
 public:
  bool SameFile(const char* a, const char* b) override;
};

// Lists the current folder's screenshots, the screenshots at temporary
// names, and the entries that are no screenshot but bear such a name (as
// kObstacle), interning their stamps. Notes the stamps near now that
// temporary names bear, and lists the logs on the way (for a FolderShelf).
ScanResult ListTracks(StampTable& stamps, std::vector<Track>* tracks, StampsInUse* inUse, std::vector<ListedLog>* logs);

// Removes what kills left half done (second names and empty reservations);
// false when one could not be removed.
bool RemoveArtifact(const char* extra, const char* kept, bool empty);

}  // namespace shotrenum
