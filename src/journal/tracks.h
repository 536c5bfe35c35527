// Following files back through the commands that moved them. Each file of
// the folder is a track: where it is now, and where it was before the
// commands followed back so far, newest first. A command's rows take a file
// from where the command left it to where it found it; where the rows and
// the folder disagree the track says why (a file changed or replaced since,
// one that came from elsewhere, one a kill moved without a row, one the rows
// expect and the folder lacks). What a run orders by and what an undo moves
// are both read off the tracks; nothing here opens a file.
#pragma once

#include <cstdint>
#include <vector>

#include "journal/history.h"
#include "journal/stack.h"
#include "platform/platform.h"
#include "shots/folder_name.h"
#include "shots/linked_names.h"

namespace shotrenum {

enum class TrackState : std::uint8_t {
  kUntouched,  // no command followed so far moved it
  kMatched,    // the rows placed it where it is (with its time), and it is followed back
  kImplicit,   // it bears a command's own temporary name that no row tells: a
               // kill came between that rename and its row; it came from the
               // name in it
  kForeign,    // it came to its name from outside the commands: one of them
               // moved the file that was there away, and nothing back
  kUnknown,    // a kill moved it to a run's next target from a temporary name
               // no row tells (an undo looks for that name further back)
  kFirst,      // such a file with a later time than the last row's: first
               // among its equal times (ordering only)
  kShadow,     // such a file with the last row's time: it follows the name of
               // that row's file back (ordering only)
  kMissing,    // no file: the rows left one at `name`, and the folder has none
  kDone,       // a file the rows expect elsewhere that is where it was before
  kObstacle,   // an entry that is no screenshot (a folder) at a screenshot or
               // temporary name: it never moves, and holds its name
  kArtifact,   // a second name or an empty reservation a kill left: removed
  kDead,       // no longer tracked (a missing one found after all)
};

struct Track {
  FolderName name;     // where it is now (kMissing: where the rows left it)
  FolderName at;       // where it was before the commands followed so far
  FILETIME writeTime;  // kMissing: the time its rows show
  TrackState state;
  bool changed : 1;  // its latest row shows another time: replaced or changed since
  bool empty : 1;    // a file of no bytes
  // At a run's first target, killed before any second-phase row: it may be
  // a file the first phase had not reached yet, or one a second-phase
  // rename no row tells brought from a temporary name. A command further
  // back tells which.
  bool mayHaveArrived : 1;
};

enum class FollowMode {
  kOrder,  // for a run's order: a file taken from an unknown temporary name
           // is placed by the last row's file
  kUndo,   // for an undo: such a file is looked for among the temporary names
           // further back
};

// Follows every track back through `commands` (indices into
// history.commands, newest first). `stack` tells an undo's in-flight rename
// (the entry it took back); `linked`, as the listing found them, second
// names. Tracks of kMissing files are added; artifacts are marked kArtifact.
void FollowBack(const History& history, const Stack* stack, const std::vector<long>& commands,
                std::vector<Track>& tracks, FollowMode mode, const LinkedNames& linked);

// Two names of one file that a rename by link and unlink left, killed
// between its steps and so before its row: the rename counts as never made,
// and the name it made is marked kArtifact (kept: the name it came from).
// Asks `linked` only of a temporary name and a screenshot name of one time.
void MarkSecondNames(const History& history, std::vector<Track>& tracks, const LinkedNames& linked);

// Where a name was before `commands` (newest first), followed back through
// their rows alone.
FolderName OriginOf(const History& history, const std::vector<long>& commands, FolderName name);

// Whether a track is a file present in the folder.
inline bool IsPresent(const Track& t) {
  return t.state != TrackState::kMissing && t.state != TrackState::kArtifact && t.state != TrackState::kDead;
}

}  // namespace shotrenum
