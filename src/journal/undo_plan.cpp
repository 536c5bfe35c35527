#include "journal/undo_plan.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "journal/row_time.h"

namespace shotrenum {

namespace {

bool Follows(const Track& t) { return t.state == TrackState::kMatched || t.state == TrackState::kImplicit; }

bool SameHundredth(FILETIME a, FILETIME b) { return RowTimeOfFile(a, 0) == RowTimeOfFile(b, 0); }

// A name as the file system tells names apart.
std::uint64_t Place(FolderName name, bool caseless) { return caseless ? FoldedKey(name) : name.Key(); }

// A file sent to the name in a temporary name whose command's logs are gone.
struct ToInnerName {
  FolderName file;       // where it is
  FolderName temporary;  // where it was
};

// Runs leave no temporary name: a file that bore one before them goes back
// to the name in it, whether or not the logs of the command that gave it
// are there.
void EndAtOwnNames(const History& history, std::vector<Track>& tracks, std::vector<ToInnerName>* lost) {
  for (Track& t : tracks) {
    if (!(Follows(t) || t.state == TrackState::kMissing) || !t.at.IsTemporary()) continue;
    if (t.state != TrackState::kMissing && history.IndexOfStamp(history.stamps.Stamp(t.at.stamp)) < 0) {
      lost->push_back(ToInnerName{t.name, t.at});
    }
    t.at = FolderName{0, t.at.shot};
  }
}

// A file the rows expect elsewhere that stands where it was before them
// (an unlogged rename took it there): it is back.
void FindMissingAtHome(std::vector<Track>& tracks) {
  std::vector<std::size_t> present;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const TrackState s = tracks[i].state;
    if (s == TrackState::kForeign || s == TrackState::kUntouched) present.push_back(i);
  }
  std::sort(present.begin(), present.end(),
            [&](std::size_t a, std::size_t b) { return tracks[a].name < tracks[b].name; });
  for (Track& m : tracks) {
    if (m.state != TrackState::kMissing) continue;
    auto at = std::lower_bound(present.begin(), present.end(), m.at,
                               [&](std::size_t i, FolderName n) { return tracks[i].name < n; });
    for (; at != present.end() && tracks[*at].name == m.at; ++at) {
      Track& found = tracks[*at];
      if (found.state != TrackState::kDone && SameHundredth(found.writeTime, m.writeTime)) {
        found.state = TrackState::kDone;
        m.state = TrackState::kDead;
        break;
      }
    }
  }
}

// Decides which of tracks[0..files) (sorted by where they go) stay, into
// `stays`: a file
// changed since, two files sent to one name, a file whose way back another
// holds that does not leave it in the first phase (a file at a temporary
// name leaves it only in the second), and, in turn, whoever was to go where
// a staying file stays. `cause` tells, for each that stays, the track whose
// staying holds its way back (-1: none, it stays for itself). Its indices
// take 4 bytes a file: an undo's peak memory is its tracks and its rows.
void Block(const std::vector<Track>& tracks, std::size_t files, bool caseless, std::vector<bool>& stays,
           std::vector<std::int32_t>& cause) {
  using Index = std::uint32_t;
  const auto held = [&](Index i) { return Place(tracks[i].name, caseless); };
  const auto way = [&](Index i) { return Place(tracks[i].at, caseless); };
  // What is in the folder, by the place it holds; the files that go back,
  // by the place they go to (folded as the file system folds case, which is
  // not the order of `tracks`).
  std::vector<Index> holders;
  holders.reserve(tracks.size());
  for (Index i = 0; i < tracks.size(); ++i) {
    if (IsPresent(tracks[i])) holders.push_back(i);
  }
  std::sort(holders.begin(), holders.end(), [&](Index a, Index b) { return held(a) < held(b); });
  std::vector<Index> byPlace(files);
  for (Index i = 0; i < files; ++i) byPlace[i] = i;
  std::sort(byPlace.begin(), byPlace.end(), [&](Index a, Index b) { return way(a) < way(b); });

  const auto leaves = [&](Index i) { return i < files && !stays[i] && !tracks[i].name.IsTemporary(); };
  const auto holder = [&](Index i) -> std::int32_t {
    const std::uint64_t place = way(i);
    auto h =
        std::lower_bound(holders.begin(), holders.end(), place, [&](Index k, std::uint64_t p) { return held(k) < p; });
    for (; h != holders.end() && held(*h) == place; ++h) {
      if (*h != i && !leaves(*h)) return static_cast<std::int32_t>(*h);
    }
    return -1;
  };
  std::vector<Index> queue;
  cause.assign(files, -1);
  stays.assign(files, false);
  for (std::size_t k = 0; k < files; ++k) {
    const Index i = byPlace[k];
    const std::uint64_t place = way(i);
    const bool twin = (k > 0 && way(byPlace[k - 1]) == place) || (k + 1 < files && way(byPlace[k + 1]) == place);
    stays[i] = tracks[i].changed || twin;
    if (stays[i]) queue.push_back(i);
  }
  for (Index i = 0; i < files; ++i) {
    if (stays[i]) continue;
    const std::int32_t by = holder(i);
    if (by >= 0) {
      stays[i] = true;
      cause[i] = by;
      queue.push_back(i);
    }
  }
  while (!queue.empty()) {
    const Index staying = queue.back();
    queue.pop_back();
    const std::uint64_t place = held(staying);
    auto at =
        std::lower_bound(byPlace.begin(), byPlace.end(), place, [&](Index i, std::uint64_t p) { return way(i) < p; });
    for (; at != byPlace.end() && way(*at) == place; ++at) {
      if (*at != staying && !stays[*at]) {
        stays[*at] = true;
        cause[*at] = static_cast<std::int32_t>(staying);
        queue.push_back(*at);
      }
    }
  }
}

}  // namespace

UndoPlan PlanUndo(const History& history, std::vector<Track>& tracks, bool exact, bool caseless) {
  UndoPlan plan;
  std::vector<ToInnerName> lost;
  if (!exact) EndAtOwnNames(history, tracks, &lost);
  FindMissingAtHome(tracks);
  for (const Track& t : tracks) {
    if (t.state == TrackState::kMissing) ++plan.missing;
    // (A file at a run's next target that no earlier command's temporary
    // name explains may as well be one the user put there: it is left
    // where it is, as any file of the user's.)
    if (t.state == TrackState::kDone || (Follows(t) && t.at == t.name)) ++plan.back;
  }

  // The files that go back, first; by where they go.
  const auto goesBack = [](const Track& t) { return Follows(t) && !(t.at == t.name); };
  auto end = std::partition(tracks.begin(), tracks.end(), goesBack);
  std::size_t files = 0;
  const auto byDestination = [&] {
    end = std::partition(tracks.begin(), end, goesBack);
    files = static_cast<std::size_t>(end - tracks.begin());
    std::sort(tracks.begin(), end, [](const Track& a, const Track& b) { return a.at < b.at; });
  };
  std::vector<std::int32_t> cause;
  byDestination();
  Block(tracks, files, caseless, plan.stays, cause);
  // A file whose logs are gone goes to the name in its temporary name only
  // where that name is free: else back to the temporary name. One whose way
  // is held by another such file waits for that one to go back first (its
  // own name may then be free), so a plan made again halfway through is the
  // plan made at the start.
  std::sort(lost.begin(), lost.end(), [](const ToInnerName& a, const ToInnerName& b) { return a.file < b.file; });
  const auto lostOf = [&](const Track& t) -> const ToInnerName* {
    const auto at = std::lower_bound(lost.begin(), lost.end(), t.name,
                                     [](const ToInnerName& l, FolderName n) { return l.file < n; });
    return at != lost.end() && at->file == t.name ? &*at : nullptr;
  };
  const auto retreating = [&](std::size_t i) -> const ToInnerName* {
    const Track& t = tracks[i];
    if (i >= files || !plan.stays[i] || t.changed) return nullptr;
    const ToInnerName* l = lostOf(t);
    return l != nullptr && !(t.at == l->temporary) ? l : nullptr;
  };
  while (!lost.empty()) {
    std::vector<std::pair<std::size_t, FolderName>> now;
    for (std::size_t i = 0; i < files; ++i) {
      const ToInnerName* l = retreating(i);
      if (l == nullptr || (cause[i] >= 0 && retreating(static_cast<std::size_t>(cause[i])) != nullptr)) continue;
      now.emplace_back(i, l->temporary);
    }
    for (const auto& [i, temporary] : now) tracks[i].at = temporary;
    if (now.empty()) break;
    // (One already at that temporary name is where it was.)
    const std::size_t before = files;
    byDestination();
    plan.back += static_cast<long>(before - files);
    Block(tracks, files, caseless, plan.stays, cause);
  }
  for (std::size_t i = 0; i < files; ++i) {
    const Track& t = tracks[i];
    if (plan.stays[i]) {
      ++plan.staying;
      continue;
    }
    ++plan.moving;
    const ToInnerName* l = lost.empty() ? nullptr : lostOf(t);
    if (l == nullptr || t.at.IsTemporary()) continue;
    const std::int64_t stamp = history.stamps.Stamp(l->temporary.stamp);
    if (std::find(plan.lostLogs.begin(), plan.lostLogs.end(), stamp) == plan.lostLogs.end()) {
      plan.lostLogs.push_back(stamp);
    }
  }
  plan.files = static_cast<long>(files);
  return plan;
}

}  // namespace shotrenum
