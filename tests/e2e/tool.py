"""Runs the built tool in fresh directories and predicts what it must leave.

The tool's path comes from SHOTRENUM_BIN (the shipped build) and
SHOTRENUM_SEAMED_BIN (the same tool whose system calls fail as
SHOTRENUM_SEAM_* variables ask: tests/support/seam_env.cpp lists them). SHOTRENUM_RUNNER, when set, is a command that the
tool is started through (Wine for the Windows build). SHOTRENUM_TARGET=windows
says the tool is the Windows build, whose output rightly differs: lines end in
CR LF in the logs and on both standard streams, the messages are Shift_JIS
whatever the locale (the Linux build's are UTF-8 in the locales the tests run
in), and the closing prompt is the command interpreter's own, on standard
output.
"""

import calendar
import datetime
import os
import re
import select
import shlex
import shutil
import subprocess
import sys
import tempfile
import termios
import time
import unittest
import zoneinfo

BIN = os.environ.get("SHOTRENUM_BIN", "")
SEAMED_BIN = os.environ.get("SHOTRENUM_SEAMED_BIN", "")
# Helpers of the Windows build: tests/hold_file.cpp and tests/console_pause.cpp.
HOLD_BIN = os.environ.get("SHOTRENUM_HOLD_BIN", "")
CONSOLE_PAUSE_BIN = os.environ.get("SHOTRENUM_CONSOLE_PAUSE_BIN", "")
RUNNER = shlex.split(os.environ.get("SHOTRENUM_RUNNER", ""))
SANITIZED = os.environ.get("SHOTRENUM_SANITIZED") == "1"
WINDOWS = os.environ.get("SHOTRENUM_TARGET") == "windows"
EOL = b"\r\n" if WINDOWS else b"\n"
# What Wine's cmd prints for "pause" in the C locale (a Windows console shows
# its own language's prompt).
WINDOWS_PAUSE = b"Press any key to continue... "

# The tool's fixed texts, as the user reads them.
NOT_FOUND = "スクリーンショットファイルが見つかりませんでした。"
IN_ORDER = "スクリーンショットの順番は正常です。"
TOO_MANY = ("スクリーンショットファイルが多すぎます。一度に処理できるのは10000000件までです。"
            "ファイルは変更していません。")
FOLDER_CHANGED = ("調査中にフォルダの内容が変わりました。ファイルは変更していません。"
                  "もう一度実行してください。")
OUT_OF_MEMORY = "メモリが不足しています。ファイルは変更していません。"
ANOTHER_RUN = "別の実行がこのフォルダで作業中です。終わってから、もう一度実行してください。"
LISTING_BROKEN = "フォルダの内容を最後まで読み取れませんでした。ファイルは変更していません。"
LOG_INCOMPLETE = "「{}」は途中から書き込めなくなったため、残りの行は標準出力に書き出しました。\n"
LOG_LOST = "「{}」の行の一部は、ファイルにも標準出力にも書き込めませんでした。\n"
PAUSE = "何かキーを押すと終了します . . . "
PREVIEW_DONE = "以上は予定です。ファイルは変更していません。\n"
REFUSED = "ファイルは変更していません。使い方は「shotrenum --help」で表示できます。\n"
FOLDER_HEADING = "フォルダ「{}」\n"
PROCESS_TITLE = "リネーム過程ログ"
RESULT_TITLE = "リネーム結果ログ"
HEADER = "判定,リネーム前,リネーム後,更新日付,更新時刻"

FILETIME_EPOCH_TICKS = 116444736000000000


UNDO_NOTHING = ("元に戻せるファイルがありません（元に戻し済みか、変更または削除されています）。"
                "ファイルは変更していません。")
UNDO_LATER_RUN = ("このあとの実行（ログ「{}」）がまだ元に戻されていません。新しい実行から順に元に戻してください。"
                  "ファイルは変更していません。\n")
LOG_UNREADABLE = "「{}」はこのツールのログとして読み取れません。ファイルは変更していません。\n"
SUMMARY_RUN = "{}件のファイルの名前を付け直しました。結果は「{}」に記録しました。\n"
UNDO_HINT = ("元に戻すには、「{}」をshotrenum.exeの上にドロップしてください。\n" if WINDOWS else
             "元に戻すには「shotrenum --undo {}」を実行してください。\n")
SUMMARY_UNDO = "「{}」の実行を元に戻しました。元の名前に戻したファイルは{}件、そのままのファイルは{}件です。\n"
UNDO_AT_NAMES_ALREADY = "{}件のファイルは、はじめから元の名前のままでした。\n"
HELD_FILES = ("{}件のファイルは、ほかのプログラムが使用中だったため名前を変えられませんでした。"
              "そのプログラムを閉じてから、もう一度実行してください。\n")
SUMMARY_COUNTS = ("全{}件のうち、名前を付け直したファイルは{}件、もとから正しい名前だったファイルは{}件、"
                  "名前を変えられなかったファイルは{}件です。\n")
FAILED_DENIED = ("{}件のファイルは、フォルダかファイルを変更する権限がないため名前を変えられませんでした"
                 "（読み取り専用か、ほかのユーザーのものです）。\n")
FAILED_NO_SPACE = "{}件のファイルは、ディスクがいっぱいのため名前を変えられませんでした。\n"
FAILED_TAKEN = "{}件のファイルは、付ける名前がフォルダやほかのファイルに使われていたため名前を変えられませんでした。\n"
FAILED_OTHER = "{}件のファイルは、そのほかの理由（入出力エラーなど）で名前を変えられませんでした。\n"
NOT_FOUND_IN = "フォルダ「{}」にスクリーンショットファイルが見つかりませんでした。\n"
SUMMARY_PREVIEW = "実行すると、{}件のファイルの名前が変わります。\n"
SUMMARY_UNDO_PREVIEW = "元に戻すと、{}件のファイルが元の名前に戻ります。\n"
PREVIEW_IN_THE_WAY = ("「{}」は「{}」に付け直せません。その名前はスクリーンショットではないもの（フォルダなど）が使っています。"
                      "実行すると、そのファイルは一時ファイルの名前のままになります。\n")
PREVIEW_LEFT = "{}件のファイルは元に戻せません（名前が使われているか、変更または削除されています）。そのままになります。\n"
PREVIEW_NO_WRITE = "このフォルダには書き込めません（読み取り専用か、ほかのユーザーのフォルダです）。ファイルの名前は変えられません。\n"
UNDO_ALREADY = "「{}」の実行はすでに元に戻されています。ファイルは変更していません。\n"
UNDO_NO_ROWS = ("「{}」には名前の変更の記録がありません（最初の変更の前に止まったか、記録が失われています）。"
                "元に戻せません。ファイルは変更していません。\n")
UNDO_LEFT = ("{}件のファイルは元に戻せなかったため、そのままにしました（名前が使われているか、変更または削除されています）。"
             "「{}」を確認してください。\n")
UNDO_LOST_LOG = "一時ファイルの名前を付けた実行のログ「{}」が見つからないため、そのファイルは一時ファイルの名前の中の名前に戻しました。\n"
UNDO_JOURNAL_FAILED = "元に戻す操作のログ「{}」を作成できないため、元に戻しませんでした。ファイルは変更していません。\n"
# Why a file is no log (after the message that says so).
LOG_WHY_READ_FAILED = "ファイルを読み取れませんでした。\n"
LOG_WHY_ENCODING = "文字コードがShift_JISでもUTF-8でもありません。\n"
LOG_WHY_TITLE = "1行目が、このツールのログの見出し（リネーム過程ログ、リネーム結果ログ）ではありません。\n"
LOG_WHY_ROW = "{}行目が、このツールのログの行ではありません。\n"
LOG_WHY_KIND = ("1行目の見出しが、名前の示すログ（VeltraskoAll_はリネーム過程ログ、VeltraskoLog_はリネーム結果ログ）"
                "と合いません。\n")
LOG_WHY_NO_ORIGINAL = ("このログのコピーか名前を変えたもので、元のログ（VeltraskoAll_….csvかVeltraskoLog_….csv）と"
                       "同じ内容のものが、同じフォルダにありません。\n")
LOG_WHY_AMBIGUOUS = ("同じ内容のログが同じフォルダにいくつもあるため、どの実行のログか決められません。"
                     "元のログを指定してください。\n")
LOG_WHY_CONTRADICTS = "記録の内容が、対になるログやほかの実行のログと食い違っています。\n"
UNDO_ELSEWHERE = ("「{}」に記録されたファイルは、このフォルダに1つもありません。ログをほかのフォルダへ移したときは、"
                  "スクリーンショットのあるフォルダへ戻してから元に戻してください。ファイルは変更していません。\n")
UNDO_PROCESS_TITLE = "リネーム過程ログ（{}を元に戻す）"
UNDO_RESULT_TITLE = "リネーム結果ログ（{}を元に戻す）"


def sjis(text):
    return text.encode("cp932")


def windows_path(path):
    """A path as the Windows build sees it under Wine."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Run:
    def __init__(self, completed, directory):
        self.returncode = completed.returncode
        self.stdout = completed.stdout
        self.stderr = completed.stderr
        self.directory = directory

    def logs(self):
        """The (process, result) log file names the run left, or None."""
        names = os.listdir(self.directory)
        process = [n for n in names if re.fullmatch(r"VeltraskoAll_\d{14}\.csv", n)]
        result = [n for n in names if re.fullmatch(r"VeltraskoLog_\d{14}\.csv", n)]
        return (process[0] if process else None, result[0] if result else None)

    def read(self, name):
        with open(os.path.join(self.directory, name), "rb") as f:
            return f.read()


def tool_environment(tz="UTC", locale="C"):
    """The environment of a run: `locale` in LANG and LC_ALL (None: no locale
    variable at all)."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "SHOTRENUM_SEAM_"))}
    env["TZ"] = tz
    if locale is not None:
        env.update({"LANG": locale, "LC_ALL": locale})
    return env


def run_tool(directory, seams=None, tz="UTC", locale="C", seamed=False, extra_env=None, preexec_fn=None,
             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE, args=()):
    env = tool_environment(tz, locale)
    if seams:
        env.update({"SHOTRENUM_SEAM_" + k: str(v) for k, v in seams.items()})
        seamed = True
    if extra_env:
        env.update(extra_env)
    binary = SEAMED_BIN if seamed else BIN
    completed = subprocess.run(RUNNER + [binary, *args], cwd=directory, stdin=stdin, stdout=stdout, stderr=stderr,
                               env=env, timeout=300, preexec_fn=preexec_fn)
    if RUNNER and completed.returncode == 1 and completed.stdout == b"" and completed.stderr == b"":
        # Rarely (seen once in CI, never when tried again here) Wine ends a
        # start with status 1 and nothing on either stream. The tool never
        # fails without a word, so a silent 1 is Wine's: the command is
        # started once more, and the test goes by that.
        print(f"\n(Wine gave status 1 and no output for {args}; started again)", file=sys.stderr)
        completed = subprocess.run(RUNNER + [binary, *args], cwd=directory, stdin=stdin, stdout=stdout,
                                   stderr=stderr, env=env, timeout=300, preexec_fn=preexec_fn)
    return Run(completed, directory)


class HeldFile:
    """A file another program holds open with no sharing, as a viewer may
    (the Windows build's helper tests/hold_file.cpp): from the moment this
    returns until `hold_for` milliseconds after start_clock(), or release()."""

    def __init__(self, directory, name, hold_for):
        self.process = subprocess.Popen(RUNNER + [HOLD_BIN, name, str(hold_for)], cwd=directory,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=tool_environment())
        assert self.process.stdout.readline().strip() == b"held", f"{name} could not be held"

    def start_clock(self):
        self.process.stdin.write(b"\n")
        self.process.stdin.flush()

    def release(self):
        self.process.kill()
        self.process.communicate()


def run_tool_until(directory, ready, then, args=()):
    """Runs the tool; once ready() holds (asked every 10 ms while the tool
    runs), calls then(). Returns the run and how long it took, in seconds."""
    started = time.monotonic()
    process = subprocess.Popen(RUNNER + [BIN, *args], cwd=directory, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE, env=tool_environment())
    while process.poll() is None and not ready():
        time.sleep(0.01)
    then()
    stdout, stderr = process.communicate(timeout=300)
    completed = subprocess.CompletedProcess(process.args, process.returncode, stdout, stderr)
    return Run(completed, directory), time.monotonic() - started


KEY = b"x"  # what run_on_terminal presses at the closing pause


def terminal_text(received):
    """What a terminal shows: no escape sequences (Wine's console adds them), no
    carriage returns, no echo of the key at the end (Wine's cmd gives one at times)."""
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]|\r", b"", received).removesuffix(KEY)


def run_on_terminal(directory, command=(), prompt=None, stdin=None, stdout=None):
    """Runs the tool (or `command`) in a UTF-8 locale with its standard
    streams on a new pseudo-terminal (standard input and output on `stdin`
    and `stdout` instead, when given) and presses KEY once the terminal shows
    `prompt` (by default the closing pause's). Returns what the terminal shows
    and whether its modes are as before the run."""
    master, slave = os.openpty()
    before = termios.tcgetattr(master)
    process = subprocess.Popen(RUNNER + (list(command) or [BIN]), cwd=directory,
                               stdin=slave if stdin is None else stdin, stdout=slave if stdout is None else stdout,
                               stderr=slave, env=tool_environment(locale="C.UTF-8"))
    os.close(slave)
    prompt = prompt or (WINDOWS_PAUSE.rstrip() if WINDOWS else PAUSE.encode())
    received, pressed, give_up, quiet_since = b"", False, time.monotonic() + 300, time.monotonic()
    try:
        while time.monotonic() < give_up:
            # The tool's own pause reads in raw mode: a key sent before would be echoed.
            if not pressed and prompt in terminal_text(received) and (
                    WINDOWS or not termios.tcgetattr(master)[3] & termios.ICANON):
                pressed = os.write(master, KEY)
            if select.select([master], [], [], 0.05)[0]:
                try:
                    chunk = os.read(master, 4096)
                except OSError:  # EIO: every process holding the terminal has ended
                    chunk = b""
                if not chunk:
                    break
                received += chunk
                quiet_since = time.monotonic()
            # Wine's console keeps the terminal open for seconds after the end.
            elif process.poll() is not None and time.monotonic() - quiet_since > 1:
                break
        process.wait(timeout=60)
        return terminal_text(received), termios.tcgetattr(master) == before
    finally:
        if process.poll() is None:
            process.kill()
        os.close(master)


def messages(*texts):
    """What standard error must hold when standard input is no terminal: the
    messages, and no pause (the Windows build's pause prompt is on standard
    output). The Linux build shows them in UTF-8 in a UTF-8 locale and where
    the locale names no character set (C, none)."""
    if WINDOWS:
        return sjis("".join(texts)).replace(b"\n", EOL)
    return "".join(texts).encode("utf-8")


def standard_output(body=b"", args=False):
    """What standard output must hold: `body`, then, after a bare start, the
    Windows pause prompt (a form with arguments pauses only in a console of its
    own, which a test never gives it)."""
    return body + WINDOWS_PAUSE if WINDOWS and not args else body


def run_summary(renamed, folder, result_log, handled=None, moved=None, denied=0, no_space=0, taken=0, other=0,
                held=0):
    """The closing summary of a run over `folder` (as given; "." for the bare
    start) that left the result log `result_log` (None: none), `renamed` of
    its `handled` files renamed and `moved` at their targets, the others
    failed for the causes counted."""
    handled = renamed if handled is None else handled
    moved = renamed if moved is None else moved
    text = ""
    if renamed and result_log:
        path = result_log if WINDOWS or folder in ("", ".") else os.path.join(folder, result_log)
        text += SUMMARY_RUN.format(renamed, result_log) + UNDO_HINT.format(path)
    if renamed < handled:
        text += SUMMARY_COUNTS.format(handled, renamed, moved - renamed, handled - moved)
    for count, line in ((denied, FAILED_DENIED), (no_space, FAILED_NO_SPACE), (taken, FAILED_TAKEN),
                        (other, FAILED_OTHER), (held, HELD_FILES)):
        if count:
            text += line.format(count)
    return text


def logged_summary(result_log_text, result_log, folder=".", **causes):
    """The closing summary of a run whose result log (its file name, and
    what it holds) tells what it renamed; `causes` as run_summary's."""
    rows = [line.split(b",") for line in result_log_text.split(EOL)[2:] if line]
    moved = [row for row in rows if row[0] == b"OK"]
    renamed = sum(1 for row in moved if row[1] != row[2])
    return run_summary(renamed, folder, result_log, len(rows), len(moved), **causes)


def standard_output_lines(run):
    """The lines on standard output before the Windows pause prompt."""
    body = run.stdout.removesuffix(WINDOWS_PAUSE) if WINDOWS else run.stdout
    return body.split(EOL)[:-1] if body.endswith(EOL) else body.split(EOL)


# ---- building directories --------------------------------------------------


def make_file(directory, name, mtime_ns, content=None):
    path = os.path.join(directory, name)
    with open(path, "wb") as f:
        f.write(content if content is not None else name.encode() + b" content")
    os.utime(path, ns=(mtime_ns, mtime_ns))
    return path


def ns_of(text, tz="UTC"):
    """Nanoseconds since 1970 of 'YYYY-MM-DD hh:mm:ss.fffffffff' in a zone."""
    date, clock = text.split(" ")
    whole, _, fraction = clock.partition(".")
    moment = datetime.datetime.fromisoformat(f"{date} {whole}").replace(tzinfo=zoneinfo.ZoneInfo(tz))
    return int(moment.timestamp()) * 10**9 + int((fraction + "000000000")[:9])


def block_log_names(directory, kinds=("All", "Log")):
    """Directories at the log names of every second a run started now may take
    (UTC); returns their names."""
    start = int(time.time())
    blocked = []
    for second in range(start - 1, start + 30):
        digits = time.strftime("%Y%m%d%H%M%S", time.gmtime(second))
        for kind in kinds:
            blocked.append(f"Veltrasko{kind}_{digits}.csv")
            os.mkdir(os.path.join(directory, blocked[-1]))
    return blocked


def shots_with_times(directory):
    """{name: (content, mtime_ns)} of every file but the logs."""
    result = {}
    for name, content in snapshot(directory).items():
        if not name.startswith("Veltrasko"):
            result[name] = (content, os.stat(os.path.join(directory, name)).st_mtime_ns)
    return result


def log_names(directory):
    """The log file names in a directory, oldest run first."""
    return sorted((n for n in os.listdir(directory) if re.fullmatch(r"Veltrasko(All|Log)_\d{14}\.csv", n)),
                  key=lambda n: (n[13:], n))


def snapshot(directory):
    """{name: content} of every regular file (links followed) in a directory."""
    result = {}
    for name in os.listdir(directory):
        path = os.path.join(directory, name)
        if os.path.isfile(path):
            with open(path, "rb") as f:
                result[name] = f.read()
    return result


def folder_state(directory):
    """{name: (content, mtime_ns)} of every file, and the names of the folders:
    what a command that must touch nothing leaves exactly as it was."""
    state = {}
    for name in os.listdir(directory):
        path = os.path.join(directory, name)
        if os.path.isdir(path):
            state[name] = "folder"
        else:
            with open(path, "rb") as f:
                state[name] = (f.read(), os.stat(path).st_mtime_ns)
    return state


# ---- predicting the outcome ------------------------------------------------


def is_shot_name(name):
    return re.fullmatch(r"[Gg][0-9]{7}\.[Pp][Cc][Xx]", name) is not None


def temp_name(stamp, name):
    return f"_tmp_{stamp}_{name}"


def read_temp_name(name):
    """(stamp, screenshot name) of a screenshot an earlier run left at a
    temporary name, or None."""
    match = re.fullmatch(r"_tmp_(0|[1-9][0-9]{0,18})_([Gg][0-9]{7}\.[Pp][Cc][Xx])", name)
    if match is None or int(match.group(1)) >= 2**63:
        return None
    return int(match.group(1)), match.group(2)


def is_set_member(name):
    """Whether a file of this name takes part in a run."""
    return is_shot_name(name) or read_temp_name(name) is not None


def ticks_of_ns(ns):
    ticks = ns // 100 + FILETIME_EPOCH_TICKS
    return min(max(ticks, 0), 2**64 - 1)


def capture_order(shots, order_names=None):
    """shots: {name: mtime_ns}. Names in capture order: by time, then by the
    screenshot name (in a temporary name, the one in it; order_names maps a
    name to the one the logs of interrupted runs give it instead), then a
    screenshot at its own name before those at temporary names, and those by
    stamp."""
    order_names = order_names or {}

    def key(name):
        stranded = read_temp_name(name)
        inner = name if stranded is None else stranded[1]
        return (ticks_of_ns(shots[name]), order_names.get(name, inner).encode(), stranded is not None,
                stranded[0] if stranded else 0, inner.encode())
    return sorted(shots, key=key)


def renumbers(order):
    """Whether a run over a set in this capture order renames anything."""
    return bool(order) and order != [target_name(i) for i in range(len(order))]


def target_name(position):
    return "G%07d.pcx" % position


def log_time(ns, tz):
    """The date and time columns of a row: the file time shifted by the zone's
    offset in force now, hundredths rounded down."""
    offset = datetime.datetime.now(zoneinfo.ZoneInfo(tz)).utcoffset()
    ticks = ticks_of_ns(ns) + int(offset.total_seconds()) * 10**7
    if ticks < 0 or ticks >= 2**63:
        return "0000/00/00,00:00:00:00"
    moment = datetime.datetime(1601, 1, 1) + datetime.timedelta(microseconds=ticks // 10)
    return moment.strftime("%Y/%m/%d,%H:%M:%S:") + "%02d" % (moment.microsecond // 10000)


def stamp_of_log(log_name, tz):
    """The run stamp (seconds since 1970) behind a log's fourteen digits."""
    digits = re.search(r"_(\d{14})\.csv$", log_name).group(1)
    moment = datetime.datetime.strptime(digits, "%Y%m%d%H%M%S").replace(tzinfo=zoneinfo.ZoneInfo(tz))
    if tz == "UTC":
        return calendar.timegm(moment.timetuple())
    return int(moment.timestamp())


def expected_logs(shots, stamp, tz, verdicts=None, order_names=None):
    """The bytes of the process log and the result log of a run over `shots`
    ({name: mtime_ns}) with the given run stamp. verdicts maps (phase, position)
    to False for the renames that fail."""
    verdicts = verdicts or {}
    order = capture_order(shots, order_names)
    process = [PROCESS_TITLE, HEADER]
    result = [RESULT_TITLE, HEADER]

    def ok(phase, i):
        return "OK," if verdicts.get((phase, i), True) else "NG,"

    # A screenshot at a temporary name skips the first phase; in the second
    # it moves from that name, which the result log shows as its old one.
    temps = [name if read_temp_name(name) else temp_name(stamp, name) for name in order]
    for i, name in enumerate(order):
        if temps[i] != name:
            process.append(f"{ok(1, i)}{name},{temps[i]},{log_time(shots[name], tz)}")
    for i, name in enumerate(order):
        when = log_time(shots[name], tz)
        process.append(f"{ok(2, i)}{temps[i]},{target_name(i)},{when}")
        result.append(f"{ok(2, i)}{name},{target_name(i)},{when}")
    return tuple(sjis("".join(line + "\n" for line in log)).replace(b"\n", EOL) for log in (process, result))


def both_logs_on_stdout(process, result, n):
    """Standard output of a run over n files whose logs both stand in there
    from their first line: in phase 2 each rename's result row, then its
    process row, each whole and after its own log's title line."""
    p, r = process.split(EOL), result.split(EOL)
    out = p[:2 + n] + r[:2]
    for i in range(n):
        out += ([r[0]] if i else []) + [r[2 + i], p[0], p[2 + n + i]]
    return EOL.join(out) + EOL


def stamp_on_stdout(run):
    """The run stamp, read off the temporary names of rows on standard output."""
    return int(run.stdout.split(b"_tmp_")[1].split(b"_")[0])


def progress_messages(n, process_log=None, process_log_on_stdout=False):
    lines = [f"一時ファイルリネーム開始　全{n}件\n"]
    lines += [f"{i + 1}件目処理中\n" for i in range(0, n, 100)]
    lines += ["一時ファイルリネーム終了\n\n", f"リネーム開始　全{n}件\n"]
    lines += [f"{i + 1}件目処理中\n" for i in range(0, n, 100)]
    lines += ["リネーム終了\n"]
    if process_log:
        lines += [f"リネームに失敗したファイルがあります。\n{process_log}を確認してください。\n"]
    if process_log_on_stdout:
        lines += ["リネームに失敗したファイルがあります。\n標準出力に書き出したリネーム過程ログを確認してください。\n"]
    return lines


class ToolTest(unittest.TestCase):
    """Each test gets a fresh directory of its own."""

    def setUp(self):
        if not BIN:
            self.skipTest("SHOTRENUM_BIN is not set")
        self.dir = tempfile.mkdtemp(prefix="shotrenum-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def make(self, name, when, content=None):
        return make_file(self.dir, name, ns_of(when) if isinstance(when, str) else when, content)

    def run_tool(self, **kwargs):
        return run_tool(self.dir, **kwargs)

    def assertFilesAre(self, expected):
        """expected: {name: content} of every file in the directory."""
        self.assertEqual(snapshot(self.dir), expected)
