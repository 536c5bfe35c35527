// The current folder and its logs, as the executor acts on them.
#pragma once

#include <optional>

#include "rename/executor.h"
#include "rename/mover.h"
#include "rename/run_log.h"

namespace shotrenum {

class FolderCommand : public CommandSink {
 public:
  void CutLog(const LogCut& cut) override;
  void RemoveLeftover(const Leftover& leftover) override;
  std::int64_t TakeStamp(const StampsInUse& inUse) override;
  bool OpenLogs(std::int64_t stamp, const char* undoneLog) override;
  MoveSink& Moves() override { return *moves_; }
  void CloseLogs(long failures) override;

  const RunLog& ProcessLog() const { return processLog_; }
  const RunLog& ResultLog() const { return resultLog_; }

 private:
  RunLog processLog_{};
  RunLog resultLog_{};
  char undoneLog_[64] = "";
  std::optional<FolderSink> moves_;
};

// The current second, or the next free one after a wait of at most three
// seconds; past that the command goes on, and a name it meets taken is an
// ordinary failed rename.
std::int64_t ChooseRunStamp(const StampsInUse& inUse);

}  // namespace shotrenum
