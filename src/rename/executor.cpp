#include "rename/executor.h"

namespace shotrenum {

Execution Execute(const Decision& decision, CommandSink& sink) {
  Execution done;
  for (const LogCut& cut : decision.cuts) sink.CutLog(cut);
  if (decision.moves == nullptr) {
    for (const Leftover& leftover : decision.leftovers) sink.RemoveLeftover(leftover);
    return done;
  }
  const std::int64_t stamp = sink.TakeStamp(decision.inUse);
  // The journal first: nothing is touched that the process log could not
  // record.
  if (!sink.OpenLogs(stamp, decision.undoneLog)) {
    done.journalFailed = true;
    return done;
  }
  for (const Leftover& leftover : decision.leftovers) sink.RemoveLeftover(leftover);
  done.tally = MoveInTwoPhases(stamp, *decision.moves, sink.Moves());
  // An undo names what it left in a summary of its own.
  const bool undo = decision.undoneLog[0] != '\0';
  sink.CloseLogs(undo ? 0 : done.tally.failures);
  return done;
}

}  // namespace shotrenum
