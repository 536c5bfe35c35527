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

const char kPhase1Start[] = "一時ファイルリネーム開始　全%ld件\n";
const char kProgress[] = "%ld件目処理中\n";
const char kPhase1End[] = "一時ファイルリネーム終了\n\n";
const char kPhase2Start[] = "リネーム開始　全%ld件\n";
const char kPhase2End[] = "リネーム終了\n";
const char kFailures[] = "リネームに失敗したファイルがあります。\n%sを確認してください。\n";
const char kLogIncomplete[] = "%sは途中から書き込めなくなったため、残りの行は標準出力に書き出しました。\n";
const char kLogLost[] = "%sの行の一部は、ファイルにも標準出力にも書き込めませんでした。\n";

const char kProcessLogTitle[] = "リネーム過程ログ\n";
const char kResultLogTitle[] = "リネーム結果ログ\n";
const char kLogHeader[] = "判定,リネーム前,リネーム後,更新日付,更新時刻\n";

const char kPausePrompt[] = "何かキーを押すと終了します . . . ";

}  // namespace shotrenum::texts
