// The journal's view of the current folder through the platform: its logs,
// its files as tracks, and which names are names of one file.
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

// The current folder's logs, read only: listed when asked, or as a listing
// of the folder found them already.
class FolderShelf : public LogShelf {
 public:
  FolderShelf() = default;
  explicit FolderShelf(std::vector<ListedLog> listed) : listed_(std::move(listed)), given_(true) {}
  bool List(std::vector<ListedLog>* logs) override;
  Open OpenLog(const char* name, std::unique_ptr<ByteSource>* source) override;

 private:
  std::vector<ListedLog> listed_;
  bool given_ = false;
};

// One pass over the current folder counts its screenshots (at their names
// and at temporary ones), so that what holds them takes no more memory than
// it needs, and lists its logs.
ScanResult CountShotsListingLogs(long* count, std::vector<ListedLog>* logs);

// Lists the current folder's screenshots, the screenshots at temporary
// names, and the entries that are no screenshot but bear such a name (as
// kObstacle), interning their stamps. Notes the stamps near now that
// temporary names bear, the files of more than one name, and lists the logs
// on the way (for a FolderShelf).
ScanResult ListTracks(StampTable& stamps, std::vector<Track>* tracks, StampsInUse* inUse, std::vector<ListedLog>* logs,
                      LinkedNames* linked);
// The same listing, keeping only the files at temporary names (a few, after
// an undo): the memory of the whole folder's tracks is not taken twice.
ScanResult ListTemporaryTracks(StampTable& stamps, std::vector<Track>* tracks, std::vector<ListedLog>* logs);

}  // namespace shotrenum
