// Compiled with the execution character set CP932: every literal below
// becomes Shift_JIS bytes in the binary.
#include "texts.h"

namespace shotrenum::texts {

const char kNotFound[] = "スクリーンショットファイルが見つかりませんでした。";
const char kInOrder[] = "スクリーンショットの順番は正常です。";
const char kTooManyShots[] =
    "スクリーンショットファイルが多すぎます。一度に処理できるのは10000000件までです。"
    "ファイルは変更していません。";
const char kFolderChanged[] =
    "調査中にフォルダの内容が変わりました。ファイルは変更していません。"
    "もう一度実行してください。";
const char kOutOfMemory[] = "メモリが不足しています。ファイルは変更していません。";
const char kAnotherRun[] = "別の実行がこのフォルダで作業中です。終わってから、もう一度実行してください。";
const char kListingBroken[] = "フォルダの内容を最後まで読み取れませんでした。ファイルは変更していません。";
const char kNotFoundIn[] = "フォルダ「%s」にスクリーンショットファイルが見つかりませんでした。\n";

const char kPhase1Start[] = "一時ファイルリネーム開始　全%ld件\n";
const char kProgress[] = "%ld件目処理中\n";
const char kPhase1End[] = "一時ファイルリネーム終了\n\n";
const char kPhase2Start[] = "リネーム開始　全%ld件\n";
const char kPhase2End[] = "リネーム終了\n";
const char kFailures[] = "リネームに失敗したファイルがあります。\n%sを確認してください。\n";
const char kFailuresOnStdout[] =
    "リネームに失敗したファイルがあります。\n標準出力に書き出したリネーム過程ログを確認してください。\n";
const char kLogIncomplete[] = "「%s」は途中から書き込めなくなったため、残りの行は標準出力に書き出しました。\n";
const char kDurableRefused[] =
    "このフォルダのファイルシステムは、ディスクへの書き出しの求めに応じません。"
    "作業は続けますが、途中で電源が切れると、ログの行が失われることがあります。\n";
const char kLogNotDurable[] =
    "「%s」をディスクへ書き出せませんでした（入出力エラー）。途中で電源が切れると、その行が失われることがあります。\n";
const char kFolderNotDurable[] =
    "フォルダの名前の変更をディスクへ書き出せませんでした（入出力エラー）。\n";
const char kLogChanged[] = "「%s」が実行中に外から変更されました。\n";
const char kLogLost[] = "「%s」の行の一部は、ファイルにも標準出力にも書き込めませんでした。\n";

// The command line. A "%s" in these stands for an argument as the user gave
// it; it is written as it came, never converted as Shift_JIS.
const char kUsage[] =
    "使い方: shotrenum [-n] [フォルダ...]\n"
    "        shotrenum [-n] [--undo] ログ\n"
    "\n"
    "スクリーンショット（G + 7桁の数字 + .pcx）を撮影順（更新日時の古い順、同じ時刻なら名前順）に並べ、\n"
    "G0000000.pcxから欠番なしの番号を付け直します。フォルダを指定しないときは、今いるフォルダを処理します。\n"
    "\n"
    "  -n, --dry-run   どのファイルがどの名前になるか（ログを指定したときは、元に戻すとどの名前に戻るか）を\n"
    "                  表示するだけで、何も変更しません\n"
    "  --undo ログ     ログ（VeltraskoAll_….csvかVeltraskoLog_….csv）に記録された実行を元に戻します\n"
    "  -h, --help      この説明を表示します\n"
    "  --version       バージョンを表示します\n"
    "\n"
    "終了ステータス:\n"
    "  0  すべて済みました（番号を付け直した、順番は正常だった、対象のファイルがなかった、元に戻した）\n"
    "  1  できなかったことがあります（名前を変えられなかったファイルがある、別の実行が作業中だった、\n"
    "     元に戻すのを断った、または元の名前に戻せなかったファイルがある）\n"
    "  2  コマンドラインの誤りです（何も変更していません）\n"
    "  フォルダやログをいくつか指定したときは、そのうちいちばん大きい値です。\n";
const char kFolderHeading[] = "フォルダ「%s」\n";
const char kLogHeading[] = "ログ「%s」\n";
const char kUnknownOption[] = "「%s」は不明なオプションです。\n";
const char kPathMissing[] = "「%s」が見つかりません。\n";
const char kNotFolderOrLog[] = "「%s」はフォルダでもこのツールのログでもありません。\n";
const char kNotALog[] = "「%s」はこのツールのログではありません。\n";
const char kPathUnreadable[] = "「%s」を開けません。\n";
const char kUndoWithoutLog[] = "「--undo」のあとに、元に戻す実行のログを指定してください。\n";
const char kArgumentsRefused[] = "ファイルは変更していません。使い方は「shotrenum --help」で表示できます。\n";
const char kPreviewDone[] = "以上は予定です。ファイルは変更していません。\n";
const char kPreviewUnwritten[] = "予定の一覧を標準出力に書き出せませんでした。ファイルは変更していません。\n";
const char kLogWhyReadFailed[] = "ファイルを読み取れませんでした。\n";
const char kLogWhyEncoding[] = "文字コードがShift_JISでもUTF-8でもありません。\n";
const char kLogWhyTitle[] = "1行目が、このツールのログの見出し（リネーム過程ログ、リネーム結果ログ）ではありません。\n";
const char kLogWhyRow[] = "%ld行目が、このツールのログの行ではありません。\n";
const char kLogWhyKind[] =
    "1行目の見出しが、名前の示すログ（VeltraskoAll_はリネーム過程ログ、VeltraskoLog_はリネーム結果ログ）と合いません。\n";
const char kLogWhyNoOriginal[] =
    "このログのコピーか名前を変えたもので、元のログ（VeltraskoAll_….csvかVeltraskoLog_….csv）と同じ内容のものが、"
    "同じフォルダにありません。\n";
const char kLogWhyAmbiguous[] =
    "同じ内容のログが同じフォルダにいくつもあるため、どの実行のログか決められません。元のログを指定してください。\n";
const char kLogWhyContradicts[] = "記録の内容が、対になるログやほかの実行のログと食い違っています。\n";
const char kPreviewInTheWay[] =
    "「%s」は「%s」に付け直せません。その名前はスクリーンショットではないもの（フォルダなど）が使っています。"
    "実行すると、そのファイルは一時ファイルの名前のままになります。\n";
const char kPreviewLeft[] =
    "%ld件のファイルは元に戻せません（名前が使われているか、変更または削除されています）。そのままになります。\n";
const char kPreviewNoWrite[] =
    "このフォルダには書き込めません（読み取り専用か、ほかのユーザーのフォルダです）。ファイルの名前は変えられません。\n";

const char kProcessLogTitle[] = "リネーム過程ログ\n";
const char kResultLogTitle[] = "リネーム結果ログ\n";
const char kLogHeader[] = "判定,リネーム前,リネーム後,更新日付,更新時刻\n";
const char kUndoProcessLogTitle[] = "リネーム過程ログ（%sを元に戻す）\n";
const char kUndoResultLogTitle[] = "リネーム結果ログ（%sを元に戻す）\n";
const char8_t kProcessLogTitleUtf8[] = u8"リネーム過程ログ\n";
const char8_t kResultLogTitleUtf8[] = u8"リネーム結果ログ\n";
const char8_t kLogHeaderUtf8[] = u8"判定,リネーム前,リネーム後,更新日付,更新時刻\n";
const char8_t kUndoProcessLogTitleUtf8[] = u8"リネーム過程ログ（%sを元に戻す）\n";
const char8_t kUndoResultLogTitleUtf8[] = u8"リネーム結果ログ（%sを元に戻す）\n";

const char kUndoLaterRun[] =
    "このあとの実行（ログ「%s」）がまだ元に戻されていません。新しい実行から順に元に戻してください。"
    "ファイルは変更していません。\n";
const char kUndoNothing[] =
    "元に戻せるファイルがありません（元に戻し済みか、変更または削除されています）。"
    "ファイルは変更していません。";
const char kLogUnreadable[] = "「%s」はこのツールのログとして読み取れません。ファイルは変更していません。\n";
const char kUndoAlready[] = "「%s」の実行はすでに元に戻されています。ファイルは変更していません。\n";
const char kUndoNoRows[] =
    "「%s」には名前の変更の記録がありません（最初の変更の前に止まったか、記録が失われています）。"
    "元に戻せません。ファイルは変更していません。\n";
const char kUndoElsewhere[] =
    "「%s」に記録されたファイルは、このフォルダに1つもありません。ログをほかのフォルダへ移したときは、"
    "スクリーンショットのあるフォルダへ戻してから元に戻してください。ファイルは変更していません。\n";
const char kUndoJournalFailed[] =
    "元に戻す操作のログ「%s」を作成できないため、元に戻しませんでした。ファイルは変更していません。\n";
const char kUndoLeft[] =
    "%ld件のファイルは元に戻せなかったため、そのままにしました（名前が使われているか、変更または削除されています）。"
    "「%s」を確認してください。\n";
const char kUndoLostLog[] =
    "一時ファイルの名前を付けた実行のログ「%s」が見つからないため、"
    "そのファイルは一時ファイルの名前の中の名前に戻しました。\n";
const char kUndoAtOwnTemp[] =
    "「%s」は元の名前に戻せなかったため、一時ファイルの名前のままです。もう一度同じログを元に戻してください。\n";
const char kUndoAtOtherTemp[] =
    "「%s」は別の実行の一時ファイルの名前のままです。そのログ「%s」を元に戻すか、もう一度実行してください。\n";
const char kUndoAtUnloggedTemp[] =
    "「%s」は一時ファイルの名前のままです（その実行のログはありません）。もう一度実行してください。\n";

const char kPausePrompt[] = "何かキーを押すと終了します . . . ";

const char kSummaryRun[] = "%ld件のファイルの名前を付け直しました。結果は「%s」に記録しました。\n";
const char kUndoHintDrop[] = "元に戻すには、「%s」をshotrenum.exeの上にドロップしてください。\n";
const char kUndoHintCommand[] = "元に戻すには「shotrenum --undo %s」を実行してください。\n";
const char kSummaryUndo[] =
    "「%s」の実行を元に戻しました。元の名前に戻したファイルは%ld件、そのままのファイルは%ld件です。\n";
const char kUndoAtNamesAlready[] = "%ld件のファイルは、はじめから元の名前のままでした。\n";
const char kSummaryPreview[] = "実行すると、%ld件のファイルの名前が変わります。\n";
const char kSummaryCounts[] =
    "全%ld件のうち、名前を付け直したファイルは%ld件、もとから正しい名前だったファイルは%ld件、"
    "名前を変えられなかったファイルは%ld件です。\n";
const char kFailedDenied[] =
    "%ld件のファイルは、フォルダかファイルを変更する権限がないため名前を変えられませんでした"
    "（読み取り専用か、ほかのユーザーのものです）。\n";
const char kFailedNoSpace[] = "%ld件のファイルは、ディスクがいっぱいのため名前を変えられませんでした。\n";
const char kFailedTaken[] =
    "%ld件のファイルは、付ける名前がフォルダやほかのファイルに使われていたため名前を変えられませんでした。\n";
const char kFailedOther[] = "%ld件のファイルは、そのほかの理由（入出力エラーなど）で名前を変えられませんでした。\n";
const char kSummaryUndoPreview[] = "元に戻すと、%ld件のファイルが元の名前に戻ります。\n";
const char kHeldFiles[] =
    "%ld件のファイルは、ほかのプログラムが使用中だったため名前を変えられませんでした。"
    "そのプログラムを閉じてから、もう一度実行してください。\n";

}  // namespace shotrenum::texts
