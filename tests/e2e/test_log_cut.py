"""Another program cuts the process log (to nothing, to half, to 4096 bytes)
while a run or an undo of 5,000 screenshots stores rows into its mapping. The
command does not die: it says its log was changed underneath it, writes the
log whole again (it reads as an uncut one), finishes, and exits 1; given
again, the run finds the exact order and the undo the start. The cut comes
from the seamed binary (CUT_PROCESS_LOG) right after a window of the process
log is mapped, so the next store falls past the file's end: no race."""

import os
import unittest

from tool import (IN_ORDER, UNDO_ALREADY, WINDOWS, ToolTest, expected_logs, make_file, messages, run_tool,
                  shots_with_times, stamp_of_log, target_name)

SHOTS = 5000
BASE_NS = 1577836800 * 10**9
# The tool under test stores no log into a mapping (tests/support/seam_env.cpp).
NO_MAPPING = os.environ.get("SHOTRENUM_NO_MAPPING") == "1"
LOG_CHANGED = "「{}」が実行中に外から変更されました。\n"


@unittest.skipIf(WINDOWS or NO_MAPPING, "a cut under a mapped log is a POSIX matter; here no log is mapped")
class LogCutUnderneath(ToolTest):
    def fill(self):
        """SHOTS screenshots whose capture order is their names reversed, so
        every file moves; {name: mtime_ns}."""
        shots = {}
        for i in range(SHOTS):
            name = target_name(i)
            shots[name] = BASE_NS + (SHOTS - i) * 10**9
            make_file(self.dir, name, shots[name])
        return shots

    def assertChangedAndRewritten(self, run):
        process, _ = run.logs()
        self.assertEqual(run.returncode, 1, run.stderr.decode("cp932", "replace")[-500:])
        self.assertIn(messages(LOG_CHANGED.format(process)), run.stderr)
        return process

    def test_a_run_whose_process_log_is_cut_writes_it_again_and_the_next_run_finds_the_order(self):
        # Window 2 is mapped in the first phase, window 3 in the second.
        for window, length in (("2", "0"), ("2", "half"), ("3", "4096")):
            with self.subTest(window=window, length=length):
                for name in os.listdir(self.dir):
                    os.remove(os.path.join(self.dir, name))
                shots = self.fill()
                content = {n: c for n, (c, _) in shots_with_times(self.dir).items()}
                run = self.run_tool(seams={"CUT_PROCESS_LOG": f"{window}:{length}"}, args=["."])
                process = self.assertChangedAndRewritten(run)
                # The log reads as the log of an uncut run, rows and all.
                expected_process, expected_result = expected_logs(shots, stamp_of_log(process, "UTC"), "UTC")
                self.assertEqual(run.read(process), expected_process)
                self.assertEqual(run.read(run.logs()[1]), expected_result)
                again = self.run_tool(args=["."])
                self.assertEqual(again.returncode, 0)
                self.assertIn(messages(IN_ORDER), again.stderr)
                placed = {n: c for n, (c, _) in shots_with_times(self.dir).items()}
                self.assertEqual(placed, {target_name(i): content[target_name(SHOTS - 1 - i)] for i in range(SHOTS)})

    def test_an_undo_whose_process_log_is_cut_writes_it_again_and_given_again_leaves_the_start(self):
        self.fill()
        start = shots_with_times(self.dir)
        run = self.run_tool()
        self.assertEqual(run.returncode, 0)
        run_process, result = run.logs()
        undo = self.run_tool(seams={"CUT_PROCESS_LOG": "2:half"}, args=["--undo", result])
        names = sorted(n for n in os.listdir(self.dir) if n.startswith("VeltraskoAll_"))
        self.assertEqual(undo.returncode, 1)
        self.assertIn(messages(LOG_CHANGED.format(names[-1])), undo.stderr)
        self.assertEqual(shots_with_times(self.dir), start)
        # Its log reads again: the undo given again finds the run undone.
        again = run_tool(self.dir, args=["--undo", result])
        self.assertEqual(again.returncode, 1)
        self.assertIn(messages(UNDO_ALREADY.format(result)), again.stderr)
        self.assertEqual(shots_with_times(self.dir), start)
