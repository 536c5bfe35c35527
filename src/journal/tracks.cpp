#include "journal/tracks.h"

#include <algorithm>

#include "journal/row_time.h"
#include "platform/filetime.h"

namespace shotrenum {

namespace {

bool Followed(TrackState s) {
  return s == TrackState::kUntouched || s == TrackState::kMatched || s == TrackState::kImplicit ||
         s == TrackState::kMissing || s == TrackState::kShadow;
}

// A file of the folder that is followed back.
bool Real(const Track& t) {
  return t.state == TrackState::kUntouched || t.state == TrackState::kMatched || t.state == TrackState::kImplicit;
}

int Rank(const Track& t) { return Real(t) ? 0 : t.state == TrackState::kMissing ? 1 : 2; }

bool SameTime(FILETIME writeTime, const Placement& p, std::int64_t offset) {
  return RowTimeOfFile(writeTime, offset) == RowTimeUtc(p.localTime, offset);
}

// The placement that left a file at `name`; nullptr when none did.
const Placement* FindAfter(const LoggedCommand& command, FolderName name) {
  const auto& all = command.placements;
  const auto at =
      std::lower_bound(all.begin(), all.end(), name, [](const Placement& p, FolderName n) { return p.after < n; });
  return at != all.end() && at->after == name ? &*at : nullptr;
}

// The name "G%07ld.pcx" of a position, coded.
FolderName TargetOf(long position) { return FolderName{0, static_cast<std::uint32_t>(position) << 3 | 7u}; }

class Follower {
 public:
  Follower(const History& history, const Stack* stack, std::vector<Track>& tracks, FollowMode mode,
           const LinkedNames& linked)
      : history_(history), stack_(stack), tracks_(tracks), mode_(mode), linked_(linked) {}

  void Step(long s) {
    const LoggedCommand& command = history_.commands[static_cast<std::size_t>(s)];
    if (command.state != LogState::kRead) return;
    command_ = &command;
    offset_ = command.offset;
    learnOffset_ = command.offsetGuessed;
    const auto& all = command.placements;
    consumed_.assign(all.size(), false);
    // Followed tracks first, by where they were; at one name a file of the
    // folder before one the rows expect.
    std::sort(tracks_.begin(), tracks_.end(), [](const Track& a, const Track& b) {
      const bool fa = Followed(a.state);
      const bool fb = Followed(b.state);
      if (fa != fb) return fa;
      if (!(a.at == b.at)) return a.at < b.at;
      return Rank(a) < Rank(b);
    });
    followed_ = static_cast<std::size_t>(
        std::partition_point(tracks_.begin(), tracks_.end(), [](const Track& t) { return Followed(t.state); }) -
        tracks_.begin());
    moved_.assign(followed_, false);
    markedNow_ = tracks_.size();

    // Where a rename a kill left unlogged went: found before the rows move
    // the tracks on.
    std::vector<std::size_t> atNextTarget;
    std::vector<std::size_t> atUndoTarget;
    if (command.positional && command.secondPhaseRows < kMaxShots) {
      atNextTarget = TracksAt(TargetOf(command.secondPhaseRows));
    }
    if (command.undo && stack_ != nullptr && command.hasCandidate) {
      const std::vector<long> before = CommandsBefore(*stack_, s);
      if (!before.empty()) {
        const FolderName origin = OriginOf(history_, before, command.candidate.before);
        atUndoTarget = TracksAt(origin);
        // An undo of runs sent a file from a temporary name to the name in
        // it, where that was free.
        if (origin.IsTemporary()) {
          const std::vector<std::size_t> inner = TracksAt(FolderName{0, origin.shot});
          atUndoTarget.insert(atUndoTarget.end(), inner.begin(), inner.end());
        }
      }
    }

    // Where each file went whose second-phase row a cut lost, found before
    // the rows move the tracks on.
    std::vector<std::vector<std::size_t>> atLostTargets;
    for (const LoggedCommand::Unlogged& u : command.unlogged) atLostTargets.push_back(TracksAt(u.target));

    Merge();
    LostRows(atLostTargets);
    if (!atNextTarget.empty()) NextTarget(atNextTarget);
    if (!atUndoTarget.empty()) UndoTarget(atUndoTarget);
    const std::size_t orphans = AddOrphans();
    Vacated(orphans);
    OwnTemporaryNames(orphans);
    FindUnknown(orphans);
    tracks_.erase(
        std::remove_if(tracks_.begin(), tracks_.end(), [](const Track& t) { return t.state == TrackState::kDead; }),
        tracks_.end());
  }

 private:
  std::vector<std::size_t> TracksAt(FolderName name) const {
    std::vector<std::size_t> found;
    const auto begin = tracks_.begin();
    const auto end = begin + static_cast<long>(followed_);
    auto at = std::lower_bound(begin, end, name, [](const Track& t, FolderName n) { return t.at < n; });
    for (; at != end && at->at == name; ++at) {
      if (Real(*at)) found.push_back(static_cast<std::size_t>(at - begin));
    }
    return found;
  }

  long IndexOf(const Placement* p) const {
    return p == nullptr ? -1 : static_cast<long>(p - command_->placements.data());
  }

  // Every file the command left where a track is now goes back to where the
  // command found it.
  void Merge() {
    const auto& all = command_->placements;
    std::size_t j = 0;
    for (std::size_t i = 0; i < followed_; ++i) {
      Track& t = tracks_[i];
      while (j < all.size() && all[j].after < t.at) ++j;
      if (j == all.size() || !(all[j].after == t.at)) continue;
      const Placement& p = all[j];
      if (t.state == TrackState::kShadow) {
        t.at = p.before;
        moved_[i] = true;
        continue;
      }
      if (consumed_[j]) {
        // Two at a name the rows left one file at.
        if (t.state != TrackState::kMissing) t.state = TrackState::kForeign;
        continue;
      }
      consumed_[j] = true;
      moved_[i] = true;
      t.mayHaveArrived = false;
      if (t.state != TrackState::kMissing) {
        if (learnOffset_ && t.state != TrackState::kMatched) LearnOffset(t, p);
        // The latest row that moved a file tells its time; one that failed
        // shows the time the file had then, whatever it had before.
        if (t.state != TrackState::kMatched && !SameTime(t.writeTime, p, offset_)) t.changed = true;
        if (!p.Stayed()) t.state = TrackState::kMatched;
      }
      t.at = p.before;
    }
  }

  // The file at another command's temporary name, with `t`'s time, of
  // which `t` is a second name; nullptr when none.
  const Track* StrandedSourceOf(const Track& t) const {
    const std::uint32_t own = command_->stamp >= 0 ? history_.stamps.Find(command_->stamp) : 0;
    for (std::size_t i = 0; i < followed_; ++i) {
      const Track& other = tracks_[i];
      if (&other == &t || !Real(other) || !other.name.IsTemporary() || other.name.stamp == own ||
          RowTimeOfFile(other.writeTime, 0) != RowTimeOfFile(t.writeTime, 0)) {
        continue;
      }
      if (SameFile(t.name, other.name)) return &other;
    }
    return nullptr;
  }

  // Whether `t` is a second name of the file bearing `source` now.
  bool SameFileAsAny(const Track& t, FolderName source) const {
    for (std::size_t i = 0; i < followed_; ++i) {
      const Track& other = tracks_[i];
      if (&other != &t && Real(other) && other.name == source && SameFile(t.name, other.name)) return true;
    }
    return false;
  }

  // Files at the targets of a run whose second-phase rows a power cut lost:
  // a file with the time of a first-phase row, at the target that row's
  // place gave it, while nothing is at its temporary name, came from there.
  void LostRows(const std::vector<std::vector<std::size_t>>& atTargets) {
    const LoggedCommand& command = *command_;
    for (std::size_t k = 0; k < command.unlogged.size(); ++k) {
      const LoggedCommand::Unlogged& u = command.unlogged[k];
      const long c = IndexOf(FindAfter(command, u.placed.after));
      if (c < 0 || consumed_[static_cast<std::size_t>(c)]) continue;
      for (const std::size_t i : atTargets[k]) {
        Track& t = tracks_[i];
        if (moved_[i] || t.empty || !SameTime(t.writeTime, u.placed, offset_)) continue;
        moved_[i] = true;
        consumed_[static_cast<std::size_t>(c)] = true;
        t.at = u.placed.before;
        t.state = TrackState::kMatched;
        break;
      }
    }
  }

  // A file at the run's next target that no row put there: the second-phase
  // rename a kill left unlogged, or what it left half done (an empty
  // reservation, or a second name of the file it was moving).
  void NextTarget(const std::vector<std::size_t>& found) {
    const LoggedCommand& command = *command_;
    for (const std::size_t i : found) {
      if (moved_[i]) continue;
      Track& t = tracks_[i];
      moved_[i] = true;
      const long c = command.hasCandidate ? IndexOf(FindAfter(command, command.candidate.after)) : -1;
      const bool candidateStayed = c >= 0 && consumed_[static_cast<std::size_t>(c)];
      if (c >= 0 && !candidateStayed && SameTime(t.writeTime, command.candidate, offset_)) {
        consumed_[static_cast<std::size_t>(c)] = true;
        t.at = command.candidate.before;
        t.state = TrackState::kMatched;
        return;
      }
      if (candidateStayed && (t.empty || SameFileAsAny(t, command.candidate.after))) {
        MarkArtifact(t, command.candidate.after);
        return;
      }
      if (t.empty) {
        MarkArtifact(t, t.name);
        return;
      }
      // A second name of a file still at an earlier command's temporary name.
      if (const Track* source = StrandedSourceOf(t)) {
        MarkArtifact(t, source->name);
        return;
      }
      markedNow_ = i;
      if (command.secondPhaseRows == 0) {
        // Before any second-phase row the first phase may not have reached
        // it: a command further back tells.
        moved_[i] = false;
        t.mayHaveArrived = true;
        return;
      }
      if (mode_ == FollowMode::kUndo) {
        t.state = TrackState::kUnknown;
      } else if (command.secondPhaseRows > 0 && SameTime(t.writeTime, command.lastSecond, offset_)) {
        t.state = TrackState::kShadow;
        t.at = command.lastSecond.before;
      } else {
        t.state = TrackState::kFirst;
      }
      return;
    }
  }

  // The same for an undo: its next rename went to where the file it was
  // moving came from before the entry it takes back.
  void UndoTarget(const std::vector<std::size_t>& found) {
    const LoggedCommand& command = *command_;
    const long c = IndexOf(FindAfter(command, command.candidate.after));
    if (c < 0) return;
    const bool candidateStayed = consumed_[static_cast<std::size_t>(c)];
    for (const std::size_t i : found) {
      if (moved_[i]) continue;
      Track& t = tracks_[i];
      if (candidateStayed) {
        if (t.empty || SameFileAsAny(t, command.candidate.after)) {
          moved_[i] = true;
          MarkArtifact(t, command.candidate.after);
          return;
        }
        continue;
      }
      if (!SameTime(t.writeTime, command.candidate, offset_)) continue;
      moved_[i] = true;
      consumed_[static_cast<std::size_t>(c)] = true;
      t.at = command.candidate.before;
      t.state = TrackState::kMatched;
      return;
    }
  }

  // A command whose stamp no row told printed its rows in an offset only
  // its files can tell: the first file its rows left where it is, at a
  // difference a time zone can have.
  void LearnOffset(const Track& t, const Placement& p) {
    if (OffsetOfRow(p.localTime, t.writeTime, &offset_)) learnOffset_ = false;
  }

  bool SameFile(FolderName a, FolderName b) const {
    char first[64];
    char second[64];
    FolderNameText(a, history_.stamps, first);
    FolderNameText(b, history_.stamps, second);
    return linked_.OneFile(first, second);
  }

  void MarkArtifact(Track& t, FolderName kept) {
    t.state = TrackState::kArtifact;
    t.at = kept;
  }

  // The files the rows left where no track is: gone, or moved on by a
  // rename no row tells. Returns where they begin among the tracks.
  std::size_t AddOrphans() {
    const auto& all = command_->placements;
    const std::size_t begin = tracks_.size();
    for (std::size_t j = 0; j < all.size(); ++j) {
      if (consumed_[j]) continue;
      const FILETIME shown = FileTimeOfRowTime(RowTimeUtc(all[j].localTime, offset_));
      tracks_.push_back(Track{all[j].after, all[j].before, shown, TrackState::kMissing, false, false, false});
    }
    std::sort(tracks_.begin() + static_cast<long>(begin), tracks_.end(),
              [](const Track& a, const Track& b) { return a.at < b.at; });
    return begin;
  }

  static bool SameHundredth(FILETIME a, FILETIME b) { return RowTimeOfFile(a, 0) == RowTimeOfFile(b, 0); }

  // A file at a name the command moved a file away from, and put none back
  // at: it came from elsewhere afterwards, unless it is that very file, come
  // back by a rename no row tells.
  void Vacated(std::size_t orphans) {
    const auto& all = command_->placements;
    std::vector<std::uint64_t> vacated;
    for (const Placement& p : all) {
      if (!p.Stayed() && FindAfter(*command_, p.before) == nullptr) vacated.push_back(p.before.Key());
    }
    if (vacated.empty()) return;
    std::sort(vacated.begin(), vacated.end());
    const auto orphansBegin = tracks_.begin() + static_cast<long>(orphans);
    for (std::size_t i = 0; i < followed_; ++i) {
      Track& t = tracks_[i];
      if (moved_[i] || !Real(t) || !std::binary_search(vacated.begin(), vacated.end(), t.at.Key())) continue;
      moved_[i] = true;
      auto o =
          std::lower_bound(orphansBegin, tracks_.end(), t.at, [](const Track& a, FolderName n) { return a.at < n; });
      for (; o != tracks_.end() && o->at == t.at; ++o) {
        if (o->state == TrackState::kMissing && SameHundredth(o->writeTime, t.writeTime)) break;
      }
      if (o != tracks_.end() && o->at == t.at) {
        o->state = TrackState::kDead;
        t.state = TrackState::kMatched;
      } else {
        t.state = TrackState::kForeign;
      }
    }
  }

  // A file at the command's own temporary name that no row tells: a kill
  // came between its first rename and that rename's row. Where the file
  // also still bears the name it came from, the temporary name is what the
  // rename left half done. And one that a row says went on from there is
  // still there: a power cut kept the row and lost the rename, so the file
  // the row left at its target is this one, not one gone missing.
  void OwnTemporaryNames(std::size_t orphans) {
    if (command_->stamp < 0) return;
    const std::uint32_t own = history_.stamps.Find(command_->stamp);
    if (own == 0) return;
    // The files that stay where the command left them, by name.
    std::vector<std::pair<std::uint64_t, std::size_t>> staying;
    bool listed = false;
    for (std::size_t i = 0; i < followed_; ++i) {
      Track& t = tracks_[i];
      if (moved_[i] || !Real(t) || t.at.stamp != own) continue;
      if (!listed) {
        listed = true;
        for (std::size_t k = 0; k < followed_; ++k) {
          if (!moved_[k] && Real(tracks_[k]) && !tracks_[k].at.IsTemporary()) {
            staying.emplace_back(tracks_[k].at.Key(), k);
          }
        }
        std::sort(staying.begin(), staying.end());
      }
      const FolderName from{0, t.at.shot};
      const auto original =
          std::lower_bound(staying.begin(), staying.end(), std::make_pair(from.Key(), std::size_t{0}));
      if (original != staying.end() && original->first == from.Key() &&
          (t.empty || SameFile(t.name, tracks_[original->second].name))) {
        MarkArtifact(t, tracks_[original->second].name);
        continue;
      }
      t.at = from;
      if (t.state == TrackState::kUntouched) t.state = TrackState::kImplicit;
      const auto orphansBegin = tracks_.begin() + static_cast<long>(orphans);
      auto o =
          std::lower_bound(orphansBegin, tracks_.end(), from, [](const Track& a, FolderName n) { return a.at < n; });
      for (; o != tracks_.end() && o->at == from; ++o) {
        if (o->state == TrackState::kMissing && SameHundredth(o->writeTime, t.writeTime)) {
          o->state = TrackState::kDead;
          break;
        }
      }
    }
  }

  // Files a kill left at a run's next target from a temporary name no row
  // tells: the one among the command's files the rows leave at a temporary
  // name that is gone, with the same time (the first by name among several,
  // as a run's order takes them).
  void FindUnknown(std::size_t orphans) {
    for (std::size_t i = 0; i < orphans; ++i) {
      Track& u = tracks_[i];
      // One found to have come from a temporary name comes from an older
      // command's.
      if (i == markedNow_) continue;
      const bool unmoved = i < followed_ && !moved_[i];
      if (!(u.state == TrackState::kUnknown && mode_ == FollowMode::kUndo) && !(u.mayHaveArrived && unmoved)) continue;
      Track* best = nullptr;
      for (std::size_t k = orphans; k < tracks_.size(); ++k) {
        Track& o = tracks_[k];
        if (o.state != TrackState::kMissing || !o.name.IsTemporary() ||
            RowTimeOfFile(o.writeTime, 0) != RowTimeOfFile(u.writeTime, 0)) {
          continue;
        }
        if (best == nullptr || o.at < best->at) best = &o;
      }
      if (best == nullptr) continue;
      u.mayHaveArrived = false;
      if (mode_ == FollowMode::kOrder) {
        // A second-phase rename before any row: the first of its equals.
        u.state = TrackState::kFirst;
        continue;
      }
      u.at = best->at;
      u.state = TrackState::kMatched;
      best->state = TrackState::kDead;
    }
  }

  const History& history_;
  const Stack* stack_;
  std::vector<Track>& tracks_;
  FollowMode mode_;
  const LinkedNames& linked_;
  const LoggedCommand* command_ = nullptr;
  std::vector<bool> consumed_;
  std::vector<bool> moved_;
  std::size_t followed_ = 0;
  std::size_t markedNow_ = 0;
  std::int64_t offset_ = 0;
  bool learnOffset_ = false;
};

}  // namespace

FolderName OriginOf(const History& history, const std::vector<long>& commands, FolderName name) {
  for (const long s : commands) {
    const LoggedCommand& command = history.commands[static_cast<std::size_t>(s)];
    if (command.state != LogState::kRead) continue;
    if (const Placement* p = FindAfter(command, name)) {
      name = p->before;
    } else if (command.stamp >= 0 && name.IsTemporary() && name.stamp == history.stamps.Find(command.stamp)) {
      name = FolderName{0, name.shot};
    }
  }
  return name;
}

void MarkSecondNames(const History& history, std::vector<Track>& tracks, const LinkedNames& linked) {
  // Every rename of the tool has a temporary name at one end: only such a
  // name and a screenshot name with the same time can be one file. (With no
  // file at a temporary name, as after any command that ended, there is
  // nothing to tell.)
  if (std::none_of(tracks.begin(), tracks.end(), [](const Track& t) { return Real(t) && t.name.IsTemporary(); })) {
    return;
  }
  std::vector<std::size_t> plain;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    if (Real(tracks[i]) && !tracks[i].name.IsTemporary()) plain.push_back(i);
  }
  const auto earlier = [&](std::size_t a, FILETIME b) { return FileTimeTicks(tracks[a].writeTime) < FileTimeTicks(b); };
  std::sort(plain.begin(), plain.end(), [&](std::size_t a, std::size_t b) {
    return FileTimeTicks(tracks[a].writeTime) < FileTimeTicks(tracks[b].writeTime);
  });
  // An empty file a rename by reservation left, killed before its rename
  // over it: at the screenshot name a temporary name was going to (while a
  // file is at a temporary name), or at a temporary name whose screenshot
  // name still holds its file.
  const Track* source = nullptr;
  for (const Track& t : tracks) {
    if (Real(t) && t.name.IsTemporary() && !t.empty) source = &t;
  }
  if (source != nullptr) {
    for (const std::size_t i : plain) {
      if (tracks[i].empty) {
        tracks[i].state = TrackState::kArtifact;
        tracks[i].at = source->name;
      }
    }
    for (Track& t : tracks) {
      if (!Real(t) || !t.name.IsTemporary() || !t.empty) continue;
      const auto from = std::find_if(plain.begin(), plain.end(), [&](std::size_t i) {
        return Real(tracks[i]) && FoldedKey(tracks[i].name) == FoldedKey(FolderName{0, t.name.shot});
      });
      if (from == plain.end()) continue;
      t.state = TrackState::kArtifact;
      t.at = tracks[*from].name;
    }
  }
  for (Track& t : tracks) {
    if (!Real(t) || !t.name.IsTemporary()) continue;
    const std::uint64_t ticks = FileTimeTicks(t.writeTime);
    for (auto at = std::lower_bound(plain.begin(), plain.end(), t.writeTime, earlier);
         at != plain.end() && FileTimeTicks(tracks[*at].writeTime) == ticks; ++at) {
      Track& other = tracks[*at];
      if (!Real(other)) continue;
      char first[64];
      char second[64];
      FolderNameText(t.name, history.stamps, first);
      FolderNameText(other.name, history.stamps, second);
      if (!linked.OneFile(first, second)) continue;
      // The rename came from the screenshot name the temporary name holds
      // (a first phase: no row made the temporary name yet), or from the
      // temporary name (a second phase, to a target that may be that name).
      const bool made = std::any_of(history.commands.begin(), history.commands.end(), [&](const LoggedCommand& c) {
        return c.state == LogState::kRead && FindAfter(c, t.name) != nullptr;
      });
      if (!made && FoldedKey(FolderName{0, t.name.shot}) == FoldedKey(other.name)) {
        t.state = TrackState::kArtifact;
        t.at = other.name;
      } else {
        other.state = TrackState::kArtifact;
        other.at = t.name;
      }
      break;
    }
  }
}

void FollowBack(const History& history, const Stack* stack, const std::vector<long>& commands,
                std::vector<Track>& tracks, FollowMode mode, const LinkedNames& linked) {
  MarkSecondNames(history, tracks, linked);
  Follower follower(history, stack, tracks, mode, linked);
  for (const long s : commands) follower.Step(s);
}

}  // namespace shotrenum
