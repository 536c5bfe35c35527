"""A log is known by its content, not its name: a copy or a log saved again
as UTF-8 undoes its run, and a file refused as a log is told why."""

import os
import shutil

from tool import (EOL, LOG_UNREADABLE, LOG_WHY_ENCODING, LOG_WHY_NO_ORIGINAL, LOG_WHY_ROW,
                  LOG_WHY_TITLE, REFUSED, UNDO_ALREADY, UNDO_ELSEWHERE, ToolTest, log_names, messages, ns_of,
                  run_tool, shots_with_times, snapshot)

NOT_A_LOG = "「{}」はこのツールのログではありません。\n"


class LogByContent(ToolTest):
    FAST = {"CLOCK_SKIPS": "1+"}

    def go(self, *args, directory=None):
        # (Wine makes the Windows names of Japanese names in the locale's character set.)
        return run_tool(directory or self.dir, seams=self.FAST, args=list(args), locale="C.UTF-8")

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def run_once(self):
        """A run over out-of-order screenshots: the shots before it, its logs."""
        when = ns_of("2020-01-02 00:00:00")
        for age, name in enumerate(["G0000000.pcx", "G0000001.pcx", "G0000007.pcx"]):
            self.make(name, when - age * 10**9)
        before = shots_with_times(self.dir)
        self.assertEqual(self.go().returncode, 0)
        return before, log_names(self.dir)

    def test_a_copy_beside_the_original_undoes_its_run_and_is_no_command_of_its_own(self):
        before, (process, result) = self.run_once()
        after = shots_with_times(self.dir)
        copies = [name[:-len(".csv")] + " - コピー.csv" for name in (result, process)]
        for original, copy in zip((result, process), copies):
            shutil.copy(os.path.join(self.dir, original), os.path.join(self.dir, copy))
        undo = self.go("--undo", copies[0])
        self.assertEqual(undo.returncode, 0, undo.stderr)
        self.assertEqual(shots_with_times(self.dir), before)
        # The same command: the process log's copy is named undone already;
        # no copy is listed as a run, so the undo of the undo stands.
        again = self.go(copies[1])
        self.assertEqual((again.returncode, again.stderr), (1, messages(UNDO_ALREADY.format(copies[1]))))
        undo_logs = sorted(set(log_names(self.dir)) - {process, result})
        self.assertEqual(len(undo_logs), 2)
        redo = self.go(undo_logs[1])
        self.assertEqual(redo.returncode, 0, redo.stderr)
        self.assertEqual(shots_with_times(self.dir), after)
        # With the other log of the pair gone, its original alone tells.
        for name in set(log_names(self.dir)) - {process, result}:
            os.remove(os.path.join(self.dir, name))
        os.remove(os.path.join(self.dir, result))
        undo = self.go(copies[1])
        self.assertEqual(undo.returncode, 0, undo.stderr)
        self.assertEqual(shots_with_times(self.dir), before)

    def test_a_log_renamed_is_known_by_the_other_log_of_its_pair(self):
        before, (process, result) = self.run_once()
        for original, renamed in ((result, "mine.csv"), (process, "all.csv")):
            os.rename(os.path.join(self.dir, original), os.path.join(self.dir, renamed))
            undo = self.go(renamed)
            self.assertEqual(undo.returncode, 0, undo.stderr)
            self.assertEqual({n: t for n, t in shots_with_times(self.dir).items() if n != renamed}, before)
            # Put back as it was: the logs of the run, the run in effect.
            undo_logs = sorted(set(log_names(self.dir)) - {process, result})
            self.assertEqual(self.go(undo_logs[1]).returncode, 0)
            for name in set(log_names(self.dir)) - {process, result}:
                os.remove(os.path.join(self.dir, name))
            os.rename(os.path.join(self.dir, renamed), os.path.join(self.dir, original))

    def test_a_log_saved_again_as_utf8_with_or_without_a_byte_order_mark_undoes_its_run(self):
        before, (process, result) = self.run_once()
        texts = {name: self.read(name).decode("cp932") for name in (process, result)}
        for mark in (b"\xef\xbb\xbf", b""):
            for name, text in texts.items():
                with open(os.path.join(self.dir, name), "wb") as f:
                    f.write(mark + text.encode("utf-8"))
            undo = self.go(result)
            self.assertEqual(undo.returncode, 0, undo.stderr)
            self.assertEqual(shots_with_times(self.dir), before)
            # Its undo's logs, saved again so too, and undone: the run stands again.
            undo_logs = sorted(set(log_names(self.dir)) - {process, result})
            redo = self.go(undo_logs[1])
            self.assertEqual(redo.returncode, 0, redo.stderr)
            for name in set(log_names(self.dir)) - {process, result}:
                os.remove(os.path.join(self.dir, name))
        # A copy saved as UTF-8 beside its original in Shift_JIS.
        with open(os.path.join(self.dir, process), "wb") as f:
            f.write(texts[process].encode("cp932"))
        with open(os.path.join(self.dir, "結果.csv"), "wb") as f:
            f.write(b"\xef\xbb\xbf" + texts[result].encode("utf-8"))
        undo = self.go("結果.csv")
        self.assertEqual(undo.returncode, 0, undo.stderr)
        os.remove(os.path.join(self.dir, "結果.csv"))
        self.assertEqual(shots_with_times(self.dir), before)

    def test_a_log_moved_away_from_its_screenshots_says_so(self):
        _, (process, result) = self.run_once()
        elsewhere = os.path.join(self.dir, "elsewhere")
        os.mkdir(elsewhere)
        for name in (process, result):
            shutil.move(os.path.join(self.dir, name), elsewhere)
        files = snapshot(self.dir)
        undo = self.go(os.path.join("elsewhere", result))
        self.assertEqual((undo.returncode, undo.stderr), (1, messages(UNDO_ELSEWHERE.format(result))))
        self.assertEqual(snapshot(self.dir), files)
        self.assertEqual(sorted(os.listdir(elsewhere)), sorted([process, result]))

    def test_a_file_refused_as_a_log_is_told_why(self):
        _, (process, result) = self.run_once()
        good = self.read(result).decode("cp932")
        lines = good.split(EOL.decode())
        bad_row = EOL.decode().join(lines[:3] + ["OK,G0000001.pcx"] + lines[3:])
        cases = [("utf16.csv", good.encode("utf-16"), LOG_WHY_ENCODING),
                 ("notes.csv", "メモ\n".encode("cp932"), LOG_WHY_TITLE),
                 ("mark.csv", b"\xef\xbb\xbf" + good.encode("cp932"), LOG_WHY_ENCODING),
                 ("header.csv", good.replace("判定", "結果").encode("cp932"), LOG_WHY_ROW.format(2))]
        for name, content, why in cases:
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(content)
            files = snapshot(self.dir)
            refused = self.go("--undo", name)
            self.assertEqual((refused.returncode, refused.stderr), (2, messages(NOT_A_LOG.format(name), why, REFUSED)),
                             name)
            self.assertEqual(snapshot(self.dir), files)
        # What only reading it whole shows, and a copy whose original is not
        # in its folder: refused by the undo.
        for name, content, why in [("row.csv", bad_row.encode("cp932"), LOG_WHY_ROW.format(4)),
                                   ("other.csv", good.replace("G0000001.pcx", "G0000009.pcx").encode("cp932"),
                                    LOG_WHY_NO_ORIGINAL)]:
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(content)
            files = snapshot(self.dir)
            refused = self.go(name)
            self.assertEqual((refused.returncode, refused.stderr), (1, messages(LOG_UNREADABLE.format(name), why)),
                             name)
            self.assertEqual(snapshot(self.dir), files)
