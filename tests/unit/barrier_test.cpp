// Where the move makes what it wrote outlast a power cut: three barriers in
// order, each before the step it guards, none per row; and what a file
// system that refuses, or fails, them does to a command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_moves.h"
#include "rename/mover.h"

namespace shotrenum {
namespace {

// The move's steps as letters: R a rename, P/L a row of the process/result
// log, 1 2 3 the barriers, E the end of the second phase told.
class Recording : public MoveSink {
 public:
  RenameResult Rename(const char*, const char*) override {
    steps += 'R';
    return RenameResult::kRenamed;
  }
  bool Row(LogKind log, bool, const char*, const char*, FILETIME) override {
    steps += log == LogKind::kProcess ? 'P' : 'L';
    return true;
  }
  bool Whole(LogKind) override { return true; }
  void Restart(LogKind) override {}
  std::uint64_t RowBytes(const char*, const char*, FILETIME) override { return 1; }
  void Begin(std::uint64_t, std::uint64_t) override { steps += 'B'; }
  void SecondPhase() override { steps += 'S'; }
  void Show(const char* text, long) override {
    if (text == texts::kPhase2End) steps += 'E';
  }
  bool MakeDurable(Barrier barrier) override {
    steps += static_cast<char>('1' + static_cast<int>(barrier));
    return barrier != failing;
  }

  std::string steps;
  Barrier failing = static_cast<Barrier>(-1);
};

TEST(Barriers, ComeInOrderBeforeTheStepsTheyGuardAndNeverPerRow) {
  Recording sink;
  // Three files from screenshot names, one from an earlier run's temporary name.
  const MoveTally tally = MoveInTwoPhases(testing::kMoveStamp, testing::ReversedShots(4, 1), sink);
  EXPECT_EQ(sink.steps, "B1RPRPRPS2RLPRLPRLPRLP3E");
  EXPECT_FALSE(tally.undurable);
  EXPECT_EQ(tally.moved, 4);
}

TEST(Barriers, HeadsThatCannotBeMadeDurableStopTheMoveBeforeAnyRename) {
  Recording sink;
  sink.failing = Barrier::kHeads;
  const MoveTally tally = MoveInTwoPhases(testing::kMoveStamp, testing::ReversedShots(3, 0), sink);
  EXPECT_EQ(sink.steps.find('R'), std::string::npos) << sink.steps;
  EXPECT_TRUE(tally.undurable);
  EXPECT_EQ(tally.moved, 0);
}

TEST(Barriers, ALaterOneThatFailsIsToldInTheTally) {
  for (const Barrier failing : {Barrier::kFirstPhase, Barrier::kEnd}) {
    Recording sink;
    sink.failing = failing;
    const MoveTally tally = MoveInTwoPhases(testing::kMoveStamp, testing::ReversedShots(3, 0), sink);
    EXPECT_TRUE(tally.undurable);
    EXPECT_EQ(tally.moved, 3);  // the renames were made; only the cut is unguarded
  }
}

}  // namespace
}  // namespace shotrenum
