// The tool's fixed Japanese texts. They are written readable in texts.cpp and
// compiled to Shift_JIS (code page 932) bytes; everything else passes them on
// unchanged.
#pragma once

namespace shotrenum::texts {

// Outcome messages of a run, written through "%s\n".
extern const char kNotFound[];
extern const char kInOrder[];
extern const char kTooManyShots[];
extern const char kFolderChanged[];
extern const char kOutOfMemory[];
extern const char kListingBroken[];
extern const char kAnotherRun[];
// Where the user gave the folder, in place of kNotFound; a format (%s: the
// folder as given) that ends in a line end.
extern const char kNotFoundIn[];

// Progress of the rename run: printf formats that end in a line end.
extern const char kPhase1Start[];  // %ld: number of files
extern const char kProgress[];     // %ld: 1-based position
extern const char kPhase1End[];
extern const char kPhase2Start[];  // %ld: number of files
extern const char kPhase2End[];
extern const char kFailures[];          // %s: the process log's file name
extern const char kFailuresOnStdout[];  // instead, where that log is on stdout
// After the closing messages, for each log whose rows did not all reach its
// file (%s: the log's file name).
extern const char kLogIncomplete[];  // the rest went to standard output
extern const char kLogLost[];        // some went nowhere
// Once, where the file system does not write the logs and the folder to the
// disk when asked (some network shares, FUSE).
extern const char kDurableRefused[];
// Where writing them to the disk failed (an I/O error): %s the log's name.
extern const char kLogNotDurable[];
extern const char kFolderNotDurable[];
extern const char kLogChanged[];     // another program cut it: written again

// The command line (%s: an argument as the user gave it, passed on as it
// came). The usage text goes to standard output, the rest to standard error.
extern const char kUsage[];
extern const char kFolderHeading[];  // before each folder's messages
extern const char kLogHeading[];     // before an undo's messages
extern const char kUnknownOption[];
extern const char kPathMissing[];
extern const char kNotFolderOrLog[];
extern const char kNotALog[];
extern const char kPathUnreadable[];  // it exists, but cannot be looked at or entered
extern const char kUndoWithoutLog[];  // no %s
extern const char kArgumentsRefused[];  // no %s; after a refusal
extern const char kPreviewDone[];       // no %s; the end of a preview
extern const char kPreviewUnwritten[];  // no %s; standard output failed
// Why a file is no log of this tool, after the message that says it is not
// (through Say; kLogWhyRow's %ld: a line number).
extern const char kLogWhyReadFailed[];
extern const char kLogWhyEncoding[];
extern const char kLogWhyTitle[];
extern const char kLogWhyRow[];
extern const char kLogWhyKind[];        // a log's name, and the other kind's title
extern const char kLogWhyNoOriginal[];   // a copy whose command no log of its folder tells
extern const char kLogWhyAmbiguous[];    // a copy the logs of several commands match
extern const char kLogWhyContradicts[];  // it reads, but disagrees with the other logs
// What a preview finds in the way, one line each before its end.
extern const char kPreviewInTheWay[];  // %s: the file that moves; %s: what bears its target name
extern const char kPreviewLeft[];      // %ld: files an undo would leave where they are
extern const char kPreviewNoWrite[];   // no %s; the folder may not be written

// Log title lines and the header line shared by both logs.
extern const char kProcessLogTitle[];
extern const char kResultLogTitle[];
extern const char kLogHeader[];
// An undo's title lines (%s: the process log of the run it undoes).
extern const char kUndoProcessLogTitle[];
extern const char kUndoResultLogTitle[];
// The same head texts in UTF-8, as a spreadsheet may save a log again.
extern const char8_t kProcessLogTitleUtf8[];
extern const char8_t kResultLogTitleUtf8[];
extern const char8_t kLogHeaderUtf8[];
extern const char8_t kUndoProcessLogTitleUtf8[];
extern const char8_t kUndoResultLogTitleUtf8[];

// Undo of a run. kUndoNothing goes through "%s\n"; the others are formats
// that end in a line end (%s: a log's file name).
extern const char kUndoLaterRun[];
extern const char kUndoNothing[];
extern const char kLogUnreadable[];
extern const char kUndoAlready[];        // %s: a log of the command named
extern const char kUndoNoRows[];         // %s: a log of the command named
extern const char kUndoElsewhere[];      // %s: a log of the command named; none of its files is here
extern const char kUndoJournalFailed[];  // %s: the undo's process log
extern const char kUndoLeft[];           // %ld: files left where they are; %s: the undo's process log
extern const char kUndoLostLog[];        // %s: the process log a temporary name's stamp gives
extern const char kUndoAtOwnTemp[];      // %s: a file the undo left at its own temporary name
extern const char kUndoAtOtherTemp[];    // %s: a file at another command's temporary name; %s: its log
extern const char kUndoAtUnloggedTemp[];  // %s: a file at a temporary name no log tells

// The prompt of the closing pause where no command processor provides one.
extern const char kPausePrompt[];

// Closing summaries, printf formats that end in a line end.
extern const char kSummaryRun[];       // %ld: files renamed; %s: the result log's file name
extern const char kUndoHintDrop[];     // %s: that log's file name; where logs are dropped onto the tool
extern const char kUndoHintCommand[];  // %s: that log's file name (or path); elsewhere
extern const char kSummaryUndo[];      // %s: a log of the run undone; %ld: files put back; %ld: files left
// %ld: files the command undone left at the names they had before it (a
// run leaves a file that was at its right name there).
extern const char kUndoAtNamesAlready[];
extern const char kSummaryPreview[];   // %ld: files a run would rename
// Where some file kept its name or failed: %ld files handled, renamed, at
// their names already, not renamed.
extern const char kSummaryCounts[];
// One for each cause of failed renames (%ld: files).
extern const char kFailedDenied[];   // no permission
extern const char kFailedNoSpace[];  // a full disk
extern const char kFailedTaken[];    // the name taken by a folder or another entry
extern const char kFailedOther[];    // any other
extern const char kSummaryUndoPreview[];  // %ld: files an undo would put back
extern const char kHeldFiles[];        // %ld: files another program held through every wait

}  // namespace shotrenum::texts
