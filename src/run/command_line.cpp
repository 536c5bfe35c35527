#include "run/command_line.h"

#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "rename/log_reader.h"
#include "rename/run_log.h"
#include "run/run_renumber.h"
#include "run/run_undo.h"
#include "say.h"
#include "texts.h"

namespace shotrenum {

namespace {

Command Refusal(const char* message, const std::string& argument) {
  Command refused;
  refused.action = Action::kRefuse;
  refused.refusal = message;
  refused.refused = argument;
  return refused;
}

// Whether a path given as a log is one: a regular file named as the tool
// names its logs, that begins as they begin.
bool IsRunLog(const std::string& path) {
  char digits[15];
  LogKind kind;
  if (!ParseLogFileName(FileNameInPath(path.c_str()), digits, &kind)) return false;
  std::FILE* file = nullptr;
  if (OpenFileForReading(path.c_str(), &file) != OpenForReading::kOpened) return false;
  FileSource source(file);
  StampTable stamps;
  LogReader reader(source, stamps);
  LogHead head{};
  const bool log = reader.ReadHead(&head) == HeadStep::kHead && head.kind == kind;
  std::fclose(file);
  return log;
}

// What a path names, as a target; nullptr, or the refusal's message.
const char* CheckTarget(Target& target, bool givenAsLog) {
  switch (KindOfPath(target.path.c_str())) {
    case PathKind::kMissing:
      return texts::kPathMissing;
    case PathKind::kUnreadable:
      return texts::kPathUnreadable;
    case PathKind::kFolder:
      if (givenAsLog) return texts::kNotALog;
      target.isLog = false;
      {
        // Checked here, so that a folder that cannot be entered stops the
        // command before any other folder is touched.
        const bool enterable = EnterFolder(target.path.c_str());
        EnterFolder(".");
        return enterable ? nullptr : texts::kPathUnreadable;
      }
    case PathKind::kFile:
      if (!IsRunLog(target.path)) return givenAsLog ? texts::kNotALog : texts::kNotFolderOrLog;
      target.isLog = true;
      return nullptr;
  }
  return texts::kPathUnreadable;
}

}  // namespace

Command ParseCommandLine(const std::vector<std::string>& arguments) {
  Command command;
  command.bare = arguments.empty();
  // Help and version answer whatever else the command line holds, wherever
  // an option can stand: before "--", and not as the log of "--undo".
  for (std::size_t i = 0; i < arguments.size() && arguments[i] != "--"; ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-h" || argument == "--help" || (argument == "/?" && SlashAsksForHelp())) {
      command.action = Action::kHelp;
      return command;
    }
    if (argument == "--version") {
      command.action = Action::kVersion;
      return command;
    }
    if (argument == "--undo") ++i;
  }
  std::vector<bool> givenAsLog;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool option = !optionsEnded && argument.size() > 1 && argument[0] == '-';
    if (!option) {
      command.targets.push_back(Target{false, argument});
      givenAsLog.push_back(false);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "-n" || argument == "--dry-run") {
      command.dryRun = true;
    } else if (argument == "--undo" || argument.rfind("--undo=", 0) == 0) {
      std::string log;
      if (argument != "--undo") {
        log = argument.substr(std::strlen("--undo="));
      } else if (i + 1 < arguments.size()) {
        log = arguments[++i];
      }
      if (log.empty()) return Refusal(texts::kUndoWithoutLog, "");
      command.targets.push_back(Target{true, log});
      givenAsLog.push_back(true);
    } else {
      return Refusal(texts::kUnknownOption, argument);
    }
  }
  for (std::size_t i = 0; i < command.targets.size(); ++i) {
    Target& target = command.targets[i];
    if (const char* refusal = CheckTarget(target, givenAsLog[i])) return Refusal(refusal, target.path);
  }
  return command;
}

namespace {

// The path of a file in the folder a target names, as the user may give it.
std::string InFolder(const std::string& folder, const char* name) {
  if (folder.empty() || folder == ".") return name;
  const char last = folder.back();
  return folder + (last == '/' || last == '\\' ? "" : "/") + name;
}

// After a run with arguments: what it did, and how to take it back.
void Summarize(const RunReport& report, const std::string& folder) {
  if (report.wouldRename >= 0) Say(texts::kSummaryPreview, report.wouldRename);
  if (report.resultLog[0] != '\0' && report.renamed > 0) {
    Say(texts::kSummaryRun, report.renamed, report.resultLog);
    // Dropped onto the tool, the log goes by its name; typed, by its path
    // (a folder's name as the user gave it).
    if (UndoesByDrop()) {
      Say(texts::kUndoHintDrop, report.resultLog);
    } else {
      SayAbout(texts::kUndoHintCommand, QuotedForShell(InFolder(folder, report.resultLog)).c_str());
    }
  }
  if (report.held > 0) Say(texts::kHeldFiles, report.held);
}

ExitStatus StatusOf(RunOutcome outcome) {
  return outcome == RunOutcome::kFailed ? ExitStatus::kNotDone : ExitStatus::kDone;
}

// One target: its folder entered, the run or the undo, its summary, and its
// exit status.
ExitStatus RunTarget(const Target& target, bool dryRun) {
  if (!target.isLog) {
    if (!EnterFolder(target.path.c_str())) {
      SayAbout(texts::kPathUnreadable, target.path.c_str());
      return ExitStatus::kNotDone;
    }
    RunReport report;
    RunRenumber(dryRun ? RunMode::kPreview : RunMode::kRenumber, &report);
    Summarize(report, target.path);
    return StatusOf(report.outcome);
  }
  // An undo works in the folder of its log.
  const char* name = FileNameInPath(target.path.c_str());
  const std::string folder = target.path.substr(0, static_cast<std::size_t>(name - target.path.c_str()));
  if (!EnterFolder(folder.empty() ? "." : folder.c_str())) {
    SayAbout(texts::kPathUnreadable, target.path.c_str());
    return ExitStatus::kNotDone;
  }
  UndoReport report;
  const ExitStatus status = RunUndo(name, &report, dryRun ? UndoMode::kPreview : UndoMode::kUndo);
  if (report.wouldMove >= 0) Say(texts::kSummaryUndoPreview, report.wouldMove);
  if (report.done) Say(texts::kSummaryUndo, name, report.back, report.left);
  if (report.held > 0) Say(texts::kHeldFiles, report.held);
  return status;
}

// The pause that keeps a window open: after the bare start always; after a
// form with arguments only where the window would close.
void PauseIfWindowCloses(bool bare) {
  if (bare) {
    PauseForKey(texts::kPausePrompt);
  } else if (WindowClosesAtExit()) {
    PauseAtConsole(texts::kPausePrompt);
  }
}

}  // namespace

ExitStatus RunCommandLine(const Command& command) {
  switch (command.action) {
    case Action::kHelp:
      return WriteStandardOutput(texts::kUsage, std::strlen(texts::kUsage)) ? ExitStatus::kDone : ExitStatus::kNotDone;
    case Action::kVersion:
      return std::fputs("shotrenum " SHOTRENUM_VERSION "\n", stdout) >= 0 && std::fflush(stdout) == 0
                 ? ExitStatus::kDone
                 : ExitStatus::kNotDone;
    case Action::kRefuse:
      SayAbout(command.refusal, command.refused.c_str());
      Say("%s", texts::kArgumentsRefused);
      PauseIfWindowCloses(false);
      return ExitStatus::kRefused;
    case Action::kRenumber:
      break;
  }
  if (command.bare) {
    RunRenumber();
    PauseIfWindowCloses(true);
    return ExitStatus::kDone;
  }
  ExitStatus status = ExitStatus::kDone;
  if (command.targets.empty()) status = RunTarget(Target{false, "."}, command.dryRun);
  for (const Target& target : command.targets) {
    // With several targets, each one's messages follow its name.
    if (command.targets.size() > 1) {
      SayAbout(target.isLog ? texts::kLogHeading : texts::kFolderHeading, target.path.c_str());
    }
    status = Worse(status, RunTarget(target, command.dryRun));
  }
  PauseIfWindowCloses(false);
  return status;
}

}  // namespace shotrenum
