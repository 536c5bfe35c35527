#include "run/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_dir.h"

namespace shotrenum {
namespace {

using CommandLine = testing::InTempDir;

TEST_F(CommandLine, HelpAndVersionAnswerWhereverAnOptionCanStand) {
  const std::vector<std::vector<std::string>> help = {
      {"--bogus", "--help"}, {"missing", "-h"}, {"-n", "--help", "--bogus"}, {"--undo", "x.csv", "--help"}};
  for (const auto& arguments : help) EXPECT_EQ(ParseCommandLine(arguments).action, Action::kHelp) << arguments[0];
  EXPECT_EQ(ParseCommandLine({"--bogus", "--version", "--help"}).action, Action::kVersion);
  // After "--", and after "--undo", they are names: here of nothing.
  for (const auto& arguments : std::vector<std::vector<std::string>>{{"--", "--help"}, {"--undo", "--version"}}) {
    const Command command = ParseCommandLine(arguments);
    EXPECT_EQ(command.action, Action::kRefuse) << arguments[0];
    EXPECT_EQ(command.refused, arguments[1]);
  }
}

TEST(PreviewByName, OnlyThePreviewsNameInAnyCaseWithOrWithoutExe) {
  for (const char* name : {"shotrenum-preview", "shotrenum-preview.exe", "SHOTRENUM-PREVIEW.EXE", "Shotrenum-Preview.Exe"}) {
    EXPECT_TRUE(PreviewsByName(name)) << name;
  }
  for (const char* name : {"shotrenum", "shotrenum.exe", "shotrenum-preview.cmd", "shotrenum-preview.exe.exe",
                           "shotrenum-preview2.exe", "xshotrenum-preview", "shotrenum-previe", ".exe", ""}) {
    EXPECT_FALSE(PreviewsByName(name)) << name;
  }
}

}  // namespace
}  // namespace shotrenum
