// Newest first, counting undos. The runs in effect in a folder form a stack:
// a run pushes, its undo pops it, an undo of that undo pushes it back. A run
// that finished an interrupted command (it took files from that command's
// temporary names) is one entry with it, and so with everything between; an
// undo given again to finish an interrupted one is one entry with it.
#pragma once

#include <vector>

#include "journal/history.h"

namespace shotrenum {

// An entry: a run (with what it finished) or an undo (with its repetitions).
struct Transaction {
  long first;  // its commands: History::commands[first..top]
  long top;    // the command that names it
  bool undo;
  long undoes = -1;          // of an undo: the transaction it takes back (-1: one not in the history read)
  long undoneBy = -1;        // the latest undo of it
  std::vector<long> before;  // the stack before its first command
  std::vector<long> after;   // the stack after its top
};

struct Stack {
  std::vector<Transaction> transactions;
  std::vector<long> ofCommand;  // each command's transaction; -1 for one that did nothing
  // Of each undo: the first command of the entry it took back, as that
  // entry was then; -1 for a run.
  std::vector<long> undoneFirst;
  std::vector<long> now;  // the stack now (transaction indices, bottom first)

  // Whether the transaction's effect stands: it was never undone, or its
  // latest undo was undone in turn.
  bool InEffect(long t) const;
};

// Replays the commands read (oldest first) from an opaque start.
Stack ReplayStack(const History& history);

enum class UndoVerdict {
  kUndo,         // the named entry is the top: take it back
  kContinue,     // an undo of it stands but may have left files: finish it
  kUndone,       // it was taken back already (or did nothing)
  kLaterStands,  // a later entry stands in the way
};

struct UndoDecision {
  UndoVerdict verdict;
  long transaction = -1;  // the entry the command names
  long undoing = -1;      // kContinue: the undo that took it back
  long standing = -1;     // kLaterStands: the command whose log to name
};

// Whether the command History::commands[command] may be undone now.
UndoDecision DecideUndo(const History& history, const Stack& stack, long command);

// The commands to follow files back through, newest first, to take the
// decision's entry back: every command since its first.
std::vector<long> CommandsToTakeBack(const Stack& stack, const UndoDecision& decision);

// The commands an undo followed its files back through when it was made
// (newest first): every command before it since the first of the entry it
// took back. Empty for a run.
std::vector<long> CommandsBefore(const Stack& stack, long command);

}  // namespace shotrenum
