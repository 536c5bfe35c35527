#include "journal/stack.h"

#include <algorithm>

namespace shotrenum {

namespace {

// What stands for everything before the history read.
constexpr long kStart = -1;

void Remove(std::vector<long>& stack, long t) { stack.erase(std::remove(stack.begin(), stack.end(), t), stack.end()); }

class Replay {
 public:
  explicit Replay(const History& history) : history_(history) {
    stack_.ofCommand.assign(history.commands.size(), -1);
    stack_.undoneFirst.assign(history.commands.size(), -1);
    stack_.now = {kStart};
    beforeCommand_.resize(history.commands.size());
  }

  Stack Run() {
    for (long c = 0; c < static_cast<long>(history_.commands.size()); ++c) {
      beforeCommand_[static_cast<std::size_t>(c)] = stack_.now;
      const LoggedCommand& command = history_.commands[static_cast<std::size_t>(c)];
      if (command.state != LogState::kRead) continue;
      if (command.undo) {
        Undo(c);
      } else {
        RunCommand(c);
      }
    }
    return std::move(stack_);
  }

 private:
  Transaction& Tx(long t) { return stack_.transactions[static_cast<std::size_t>(t)]; }

  // A run is one entry with every command back to the oldest whose temporary
  // names it took files from.
  void RunCommand(long c) {
    long first = c;
    const std::int64_t taken = history_.commands[static_cast<std::size_t>(c)].oldestTaken;
    if (taken >= 0) {
      const long k = history_.IndexOfStamp(taken);
      if (k >= 0 && k < c) first = k;
    }
    // Entries that overlap are one: widen to their first commands.
    for (long k = c - 1; k >= first; --k) {
      const long t = stack_.ofCommand[static_cast<std::size_t>(k)];
      if (t >= 0 && Tx(t).first < first) first = Tx(t).first;
    }
    const long merged = New(Transaction{first, c, false, -1, -1, {}, {}});
    for (long k = first; k < c; ++k) {
      const long t = stack_.ofCommand[static_cast<std::size_t>(k)];
      if (t < 0 || t == merged) continue;
      Remove(stack_.now, t);
      // What it took back stays taken back, now by this entry.
      for (Transaction& other : stack_.transactions) {
        if (other.undoneBy == t) other.undoneBy = merged;
      }
      Absorb(t, merged);
    }
    stack_.ofCommand[static_cast<std::size_t>(c)] = merged;
    Tx(merged).before = beforeCommand_[static_cast<std::size_t>(first)];
    stack_.now.push_back(merged);
    Tx(merged).after = stack_.now;
  }

  void Undo(long c) {
    const LoggedCommand& command = history_.commands[static_cast<std::size_t>(c)];
    const LoggedCommand* target = history_.Find(command.undoneDigits);
    const long d = target == nullptr ? -1 : static_cast<long>(target - history_.commands.data());
    const long y = d < 0 ? -1 : stack_.ofCommand[static_cast<std::size_t>(d)];
    if (y >= 0) stack_.undoneFirst[static_cast<std::size_t>(c)] = Tx(y).first;
    if (y >= 0) {
      const long by = Tx(y).undoneBy;
      if (by >= 0 && stack_.InEffect(by) && Tx(by).undo && Tx(by).undoes == y) {
        // The same undo given again: one entry with the first.
        for (long k = Tx(by).top + 1; k < c; ++k) {
          const long t = stack_.ofCommand[static_cast<std::size_t>(k)];
          if (t >= 0 && t != by) {
            Remove(stack_.now, t);
            Absorb(t, by);
          }
        }
        Tx(by).top = c;
        stack_.ofCommand[static_cast<std::size_t>(c)] = by;
        Tx(by).after = stack_.now;
        return;
      }
    }
    const long u = New(Transaction{c, c, true, y, -1, {}, {}});
    stack_.ofCommand[static_cast<std::size_t>(c)] = u;
    Tx(u).before = stack_.now;
    if (y >= 0) {
      // As its entry was before it; an entry undone out of turn (by an
      // earlier version of the tool) is taken out where it stands.
      if (stack_.now == Tx(y).after) {
        stack_.now = Tx(y).before;
      } else if (!Tx(y).undo) {
        Remove(stack_.now, y);
      } else if (Tx(y).undoes >= 0) {
        stack_.now.push_back(Tx(y).undoes);
      }
      Tx(y).undoneBy = u;
    } else {
      // It took back something this history does not hold.
      stack_.now = {kStart - 1 - c};
    }
    Tx(u).after = stack_.now;
  }

  long New(Transaction t) {
    stack_.transactions.push_back(std::move(t));
    return static_cast<long>(stack_.transactions.size()) - 1;
  }

  void Absorb(long from, long into) {
    for (long& t : stack_.ofCommand) {
      if (t == from) t = into;
    }
    if (Tx(from).first < Tx(into).first) Tx(into).first = Tx(from).first;
  }

  const History& history_;
  Stack stack_;
  std::vector<std::vector<long>> beforeCommand_;
};

}  // namespace

bool Stack::InEffect(long t) const {
  // Each undo of an undo is later than the undo: the chain ends.
  const long by = transactions[static_cast<std::size_t>(t)].undoneBy;
  return by < 0 || !InEffect(by);
}

Stack ReplayStack(const History& history) { return Replay(history).Run(); }

UndoDecision DecideUndo(const History& history, const Stack& stack, long command) {
  UndoDecision decision{UndoVerdict::kUndone};
  const long y = stack.ofCommand[static_cast<std::size_t>(command)];
  if (y < 0) return decision;  // it did nothing
  decision.transaction = y;
  const Transaction& entry = stack.transactions[static_cast<std::size_t>(y)];
  const bool inEffect = stack.InEffect(y);
  // The newest entry after this one that stands.
  const auto later = [&] {
    long newest = -1;
    for (std::size_t t = 0; t < stack.transactions.size(); ++t) {
      const Transaction& other = stack.transactions[t];
      if (other.top > entry.top && stack.InEffect(static_cast<long>(t)) &&
          (newest < 0 || other.top > stack.transactions[static_cast<std::size_t>(newest)].top)) {
        newest = static_cast<long>(t);
      }
    }
    UndoDecision refusal{UndoVerdict::kLaterStands, y};
    refusal.standing = newest >= 0 ? stack.transactions[static_cast<std::size_t>(newest)].top
                                   : static_cast<long>(history.commands.size()) - 1;
    return refusal;
  };
  if (command != entry.top) {
    // An older command of an entry: the entry's newest one is later.
    if (!inEffect) return decision;
    UndoDecision refusal{UndoVerdict::kLaterStands, y};
    refusal.standing = entry.top;
    return refusal;
  }
  if (inEffect) {
    if (stack.now == entry.after) {
      decision.verdict = UndoVerdict::kUndo;
      return decision;
    }
    return later();
  }
  const long by = entry.undoneBy;
  const Transaction& undoing = stack.transactions[static_cast<std::size_t>(by)];
  if (undoing.undo && undoing.undoes == y && stack.now == undoing.after) {
    decision.verdict = UndoVerdict::kContinue;
    decision.undoing = by;
  }
  // Its undo was cut short and a run finished it: that run's entry stands
  // on it, and goes first.
  if (!undoing.undo && stack.InEffect(by)) return later();
  return decision;
}

std::vector<long> CommandsToTakeBack(const Stack& stack, const UndoDecision& decision) {
  // Everything since the entry began: what stands after it cancels out on
  // the stack, and its files are wherever those commands, whole or cut
  // short, left them.
  std::vector<long> commands;
  const long first = stack.transactions[static_cast<std::size_t>(decision.transaction)].first;
  for (long c = static_cast<long>(stack.ofCommand.size()) - 1; c >= first; --c) commands.push_back(c);
  return commands;
}

std::vector<long> CommandsBefore(const Stack& stack, long command) {
  std::vector<long> commands;
  const long first = stack.undoneFirst[static_cast<std::size_t>(command)];
  for (long c = command - 1; first >= 0 && c >= first; --c) commands.push_back(c);
  return commands;
}

}  // namespace shotrenum
