#include "journal/recovery.h"

#include <algorithm>
#include <utility>

#include "journal/stack.h"
#include "shots/folder_name.h"

namespace shotrenum {

void RecoverOrder(LogShelf& shelf, const LinkedNames& linked, const ShotRecord* records, long n,
                  std::vector<std::uint32_t>* keys, std::vector<Artifact>* artifacts, std::vector<LogCut>* cuts) {
  keys->clear();
  artifacts->clear();
  std::int64_t oldest = -1;
  for (long i = 0; i < n; ++i) {
    const std::int64_t stamp = StrandedStamp(records[i]);
    if (records[i].stranded && (oldest < 0 || stamp < oldest)) oldest = stamp;
  }
  // Nothing stranded: no log is read, and no track is made (they would take
  // more than half as much memory again as the records).
  if (oldest < 0) return;
  History history;
  std::vector<Track> tracks;
  tracks.reserve(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i) {
    const ShotRecord& r = records[i];
    FolderName name{0, ShotCode(r.name)};
    if (r.stranded) name.stamp = history.stamps.Intern(StrandedStamp(r));
    tracks.push_back(Track{name, name, r.writeTime, TrackState::kUntouched, false, r.empty, false});
  }
  ReadHistory(shelf, oldest, &history);
  *cuts = std::move(history.cuts);
  std::vector<long> commands;
  for (long c = static_cast<long>(history.commands.size()) - 1; c >= 0; --c) commands.push_back(c);
  const Stack stack = ReplayStack(history);
  FollowBack(history, &stack, commands, tracks, FollowMode::kOrder, linked);

  // Back to the records: both by the name each bears now.
  // (A file the rows expect at a name sorts after the file that is there.)
  std::sort(tracks.begin(), tracks.end(), [](const Track& a, const Track& b) {
    if (!(a.name == b.name)) return a.name < b.name;
    return IsPresent(a) && !IsPresent(b);
  });
  keys->resize(static_cast<std::size_t>(n));
  for (long i = 0; i < n; ++i) {
    const ShotRecord& r = records[i];
    const FolderName name{r.stranded ? history.stamps.Find(StrandedStamp(r)) : 0, ShotCode(r.name)};
    const auto t = std::lower_bound(tracks.begin(), tracks.end(), name,
                                    [](const Track& track, FolderName n) { return track.name < n; });
    std::uint32_t& key = (*keys)[static_cast<std::size_t>(i)];
    key = ShotCode(r.name) + 1;
    if (t == tracks.end() || !(t->name == name)) continue;
    if (t->state == TrackState::kArtifact) {
      Artifact artifact{i, ""};
      FolderNameText(t->at, history.stamps, artifact.kept);
      artifacts->push_back(artifact);
    } else if (t->state == TrackState::kFirst) {
      key = 0;
    } else {
      key = t->at.shot + 1;
    }
  }
}

}  // namespace shotrenum
