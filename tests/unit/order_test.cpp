#include "shots/order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace shotrenum {
namespace {

ShotRecord Shot(const char* name, std::uint32_t high, std::uint32_t low) {
  ShotRecord r{};
  std::snprintf(r.name, sizeof r.name, "%s", name);
  r.writeTime = FILETIME{low, high};
  return r;
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(CompareShots, OrdersByTimeThenByName) {
  const ShotRecord early = Shot("G0000009.pcx", 0, 0xFFFFFFFF);
  const ShotRecord late = Shot("G0000001.pcx", 1, 0);
  // The high half decides before the low half.
  EXPECT_EQ(Sign(CompareShots(&early, &late)), -1);
  EXPECT_EQ(Sign(CompareShots(&late, &early)), 1);

  const ShotRecord a = Shot("G0000009.pcx", 5, 5);
  const ShotRecord b = Shot("G0000010.pcx", 5, 5);
  EXPECT_EQ(Sign(CompareShots(&a, &b)), -1);
  EXPECT_EQ(Sign(CompareShots(&b, &a)), 1);
  EXPECT_EQ(CompareShots(&a, &a), 0);

  // Names compare as unsigned bytes, with regard to case.
  const ShotRecord upper = Shot("G0000001.PCX", 5, 5);
  const ShotRecord lower = Shot("G0000001.pcx", 5, 5);
  const ShotRecord high = Shot("\xE0", 5, 5);
  EXPECT_EQ(Sign(CompareShots(&upper, &lower)), -1);
  EXPECT_EQ(Sign(CompareShots(&lower, &high)), -1);
}

TEST(SortShots, PutsTheSetIntoCaptureOrder) {
  std::vector<ShotRecord> set = {Shot("G0000003.pcx", 0, 7), Shot("G0000002.pcx", 0, 3), Shot("G0000001.pcx", 0, 7),
                                 Shot("G0000000.pcx", 1, 0)};
  SortShots(set.data(), static_cast<long>(set.size()));
  std::vector<std::string> names;
  for (const ShotRecord& r : set) names.emplace_back(r.name);
  EXPECT_EQ(names, (std::vector<std::string>{"G0000002.pcx", "G0000001.pcx", "G0000003.pcx", "G0000000.pcx"}));
}

TEST(SortShots, OrdersALargeSetWithManyEqualTimes) {
  std::vector<ShotRecord> set;
  std::uint32_t state = 12345;
  for (int i = 0; i < 5000; ++i) {
    state = state * 1103515245u + 12345u;
    char name[kShotNameLength + 1];
    WriteTargetName(name, (i * 7919) % 10000);
    set.push_back(Shot(name, (state >> 20) % 3, (state >> 8) % 50));
  }
  std::vector<std::string> before;
  for (const ShotRecord& r : set) before.emplace_back(r.name);
  SortShots(set.data(), static_cast<long>(set.size()));
  std::vector<std::string> after;
  for (std::size_t i = 0; i < set.size(); ++i) {
    after.emplace_back(set[i].name);
    if (i > 0) {
      ASSERT_LT(CompareShots(&set[i - 1], &set[i]), 0) << i;
    }
  }
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);
}

std::vector<std::string> Targets(const std::vector<ShotRecord>& set) {
  std::vector<std::string> targets;
  for (const ShotRecord& r : set) targets.emplace_back(r.target);
  return targets;
}

TEST(CheckOrder, ReportsInOrderOnlyWhenEveryNameIsItsTarget) {
  std::vector<ShotRecord> ordered = {Shot("G0000000.pcx", 0, 1), Shot("G0000001.pcx", 0, 2),
                                     Shot("G0000002.pcx", 0, 3)};
  EXPECT_TRUE(CheckOrder(ordered.data(), 3));

  std::vector<ShotRecord> gap = {Shot("G0000000.pcx", 0, 1), Shot("G0000001.pcx", 0, 2), Shot("G0000003.pcx", 0, 3)};
  EXPECT_FALSE(CheckOrder(gap.data(), 3));
  EXPECT_EQ(Targets(gap), (std::vector<std::string>{"G0000000.pcx", "G0000001.pcx", "G0000002.pcx"}));

  std::vector<ShotRecord> lowerCase = {Shot("g0000000.pcx", 0, 1)};
  EXPECT_FALSE(CheckOrder(lowerCase.data(), 1));
  EXPECT_STREQ(lowerCase[0].target, "G0000000.pcx");
}

TEST(CheckOrder, WritesEveryTargetEvenAfterTheFirstMismatch) {
  std::vector<ShotRecord> set = {Shot("G0000005.pcx", 0, 1), Shot("G0000001.pcx", 0, 2), Shot("G0000002.pcx", 0, 3)};
  EXPECT_FALSE(CheckOrder(set.data(), 3));
  EXPECT_EQ(Targets(set), (std::vector<std::string>{"G0000000.pcx", "G0000001.pcx", "G0000002.pcx"}));
}

TEST(WriteTargetName, FillsTwelveBytesUpToTheLastPosition) {
  char target[kShotNameLength + 1];
  WriteTargetName(target, 0);
  EXPECT_STREQ(target, "G0000000.pcx");
  WriteTargetName(target, 1234567);
  EXPECT_STREQ(target, "G1234567.pcx");
  WriteTargetName(target, kMaxShots - 1);
  EXPECT_STREQ(target, "G9999999.pcx");
}

}  // namespace
}  // namespace shotrenum
