#include "run/command_line.h"

#include <cstdio>
#include <cstring>
#include <string_view>

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

// Whether a file is a log of this tool: its content tells (a copy, a log
// renamed or saved again as UTF-8 is one), and a log's name, where it
// bears one, says its kind. nullptr when it begins as a log begins; else
// why not (a Say format; its %ld `line`).
const char* WhyNoLog(const std::string& path, long* line) {
  *line = 0;
  std::FILE* file = nullptr;
  if (OpenFileForReading(path.c_str(), &file) != OpenForReading::kOpened) return texts::kLogWhyReadFailed;
  FileSource source(file);
  LogHead head{};
  const LogCheck check = CheckLog(source, CheckExtent::kHead, &head);
  std::fclose(file);
  if (check.fault != LogFault::kNone) {
    *line = check.line;
    return WhyNotALog(check.fault);
  }
  char digits[15];
  LogKind named;
  if (ParseLogFileName(FileNameInPath(path.c_str()), digits, &named) && named != head.kind) return texts::kLogWhyKind;
  return nullptr;
}

// What a path names, as a target; nullptr, or the refusal's message (and
// of a file that is no log, why in `why`).
const char* CheckTarget(Target& target, bool givenAsLog, const char** why, long* whyLine) {
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
    case PathKind::kFile: {
      *why = WhyNoLog(target.path, whyLine);
      if (*why != nullptr) {
        return givenAsLog ? texts::kNotALog : texts::kNotFolderOrLog;
      }
      target.isLog = true;
      return nullptr;
    }
  }
  return texts::kPathUnreadable;
}

// `c` in lower case, for ASCII letters only.
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool PreviewsByName(const std::string& programFile) {
  std::string_view name(programFile);
  if (name.size() > 4 && EqualsIgnoringAsciiCase(name.substr(name.size() - 4), ".exe")) name.remove_suffix(4);
  return EqualsIgnoringAsciiCase(name, "shotrenum-preview");
}

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
    const char* why = nullptr;
    long whyLine = 0;
    if (const char* refusal = CheckTarget(target, givenAsLog[i], &why, &whyLine)) {
      Command refused = Refusal(refusal, target.path);
      refused.why = why;
      refused.whyLine = whyLine;
      return refused;
    }
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

// Why renames failed, one line for each cause, with its count of files.
void SayCauses(const FailureCauses& causes, long held) {
  if (causes.denied > 0) Say(texts::kFailedDenied, causes.denied);
  if (causes.noSpace > 0) Say(texts::kFailedNoSpace, causes.noSpace);
  if (causes.taken > 0) Say(texts::kFailedTaken, causes.taken);
  if (causes.other > 0) Say(texts::kFailedOther, causes.other);
  if (held > 0) Say(texts::kHeldFiles, held);
}

// After a run: what it did, and how to take it back.
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
  // The phases counted every file: where not all of them changed name,
  // the count says which did not, and why.
  if (report.renamed < report.handled) {
    Say(texts::kSummaryCounts, report.handled, report.renamed, report.moved - report.renamed,
        report.handled - report.moved);
  }
  SayCauses(report.causes, report.held);
}

ExitStatus StatusOf(RunOutcome outcome) {
  return outcome == RunOutcome::kFailed ? ExitStatus::kNotDone : ExitStatus::kDone;
}

// One target: its folder entered, the run or the undo, its summary, and its
// exit status. `given`: the user named the folder.
ExitStatus RunTarget(const Target& target, bool dryRun, bool given = true) {
  if (!target.isLog) {
    if (!EnterFolder(target.path.c_str())) {
      SayAbout(texts::kPathUnreadable, target.path.c_str());
      return ExitStatus::kNotDone;
    }
    RunReport report;
    RunRenumber(dryRun ? RunMode::kPreview : RunMode::kRenumber, &report, given ? target.path.c_str() : nullptr);
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
  if (report.done) {
    Say(texts::kSummaryUndo, name, report.back, report.left);
    if (report.already > 0) Say(texts::kUndoAtNamesAlready, report.already);
  }
  SayCauses(report.causes, report.held);
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
      if (command.why != nullptr) Say(command.why, command.whyLine);
      Say("%s", texts::kArgumentsRefused);
      PauseIfWindowCloses(false);
      return ExitStatus::kRefused;
    case Action::kRenumber:
      break;
  }
  if (command.bare) {
    // Its messages, then the summary with the undo hint, before the pause.
    RunReport report;
    RunRenumber(RunMode::kRenumber, &report);
    Summarize(report, ".");
    PauseIfWindowCloses(true);
    return StatusOf(report.outcome);
  }
  ExitStatus status = ExitStatus::kDone;
  if (command.targets.empty()) status = RunTarget(Target{false, "."}, command.dryRun, false);
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
