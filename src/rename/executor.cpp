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
  done.stamp = stamp;
  // The journal first: nothing is touched that the process log could not
  // record.
  if (!sink.OpenLogs(stamp, decision.undoneLog)) {
    done.journalFailed = true;
    return done;
  }
  for (const Leftover& leftover : decision.leftovers) sink.RemoveLeftover(leftover);
  // A run leaves a file whose second rename fails at its temporary name,
  // for the next run to finish; an undo puts it back where it was.
  const bool undo = decision.undoneLog[0] != '\0';
  done.tally = MoveInTwoPhases(stamp, *decision.moves, sink.Moves(), undo ? OnFailure::kPutBack : OnFailure::kWait);
  // An undo names what it left in a summary of its own.
  sink.CloseLogs(undo ? 0 : done.tally.failures);
  return done;
}

}  // namespace shotrenum
