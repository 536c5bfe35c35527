"""An undo whose rename fails puts the file back, and an undo says what it
leaves at temporary names: its own, and another command's."""

import os
import re
import unittest

from test_interrupt import sleep_into_next_second
from tool import ToolTest, messages, run_tool, shots_with_times

AT_OTHER_TEMP = "「{}」は別の実行の一時ファイルの名前のままです。そのログ「{}」を元に戻すか、もう一度実行してください。\n"
AT_UNLOGGED_TEMP = "「{}」は一時ファイルの名前のままです（その実行のログはありません）。もう一度実行してください。\n"


def temporary_names(directory):
    return sorted(n for n in os.listdir(directory) if n.startswith("_tmp_"))


def newest_log(directory):
    return max((n for n in os.listdir(directory) if n.startswith("VeltraskoAll")), key=lambda n: n[13:])


class UndoPutsAFailedStepBack(ToolTest):
    def test_a_file_that_cannot_reach_its_name_goes_back_and_the_undo_given_again_finishes(self):
        self.make("G0000000.pcx", "2020-01-02 00:00:00", b"P")  # newer
        self.make("G0000001.pcx", "2020-01-01 00:00:00", b"Q")  # older
        start = shots_with_times(self.dir)
        self.assertEqual(self.run_tool().returncode, 0)
        run = newest_log(self.dir)
        after_run = shots_with_times(self.dir)
        sleep_into_next_second()
        # The undo's third rename is the first of its second phase.
        undo = self.run_tool(seams={"RENAME_FAIL": 3}, args=["--undo", run])
        self.assertEqual(undo.returncode, 1)
        self.assertEqual(temporary_names(self.dir), [], undo.stderr.decode("cp932", "replace"))
        self.assertEqual(shots_with_times(self.dir), after_run)
        undo_log = newest_log(self.dir)
        process = undo.read(undo_log)
        result = undo.read(undo_log.replace("All", "Log"))
        # Each file's way back is a row of the process log; neither reached
        # its target, as the result log says.
        self.assertEqual(len(re.findall(rb"\nOK,_tmp_\d+_(G\d{7}\.pcx),\1,", process)), 2, process)
        self.assertEqual(result.count(b"\nNG,"), 2, result)
        sleep_into_next_second()
        again = self.run_tool(args=["--undo", run])
        self.assertEqual(again.returncode, 0, again.stderr.decode("cp932", "replace"))
        self.assertEqual(shots_with_times(self.dir), start)
        # The undo, with the one that finished it, is undone in turn.
        sleep_into_next_second()
        self.assertEqual(self.run_tool(args=["--undo", newest_log(self.dir)]).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), after_run)

    def test_a_file_that_cannot_go_back_either_is_named_at_its_temporary_name(self):
        self.make("G0000000.pcx", "2020-01-02 00:00:00", b"P")
        self.make("G0000001.pcx", "2020-01-01 00:00:00", b"Q")
        start = shots_with_times(self.dir)
        self.assertEqual(self.run_tool().returncode, 0)
        run = newest_log(self.dir)
        sleep_into_next_second()
        undo = self.run_tool(seams={"RENAME_FAIL": "3,4"}, args=["--undo", run])
        self.assertEqual(undo.returncode, 1)
        [left] = temporary_names(self.dir)
        self.assertIn(messages(left), undo.stderr)
        sleep_into_next_second()
        self.assertEqual(self.run_tool(args=["--undo", run]).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), start)


class UndoNamesAnotherCommandsTemporaryNames(ToolTest):
    def test_files_a_killed_run_left_are_named_with_its_log(self):
        for k in range(40):
            self.make("G%07d.pcx" % k, 1577836800 * 10**9 + (40 - k) * 10**9, b"shot %d" % k)
        first = run_tool(self.dir, seams={"DIE_AFTER_RENAME": 25})
        self.assertEqual(first.returncode, 137)
        run1 = newest_log(self.dir)
        sleep_into_next_second()
        self.assertEqual(run_tool(self.dir, seams={"DIE_AFTER_RENAME": 3}).returncode, 137)
        run2 = newest_log(self.dir)
        sleep_into_next_second()
        undo = self.run_tool(args=["--undo", run2])
        left = temporary_names(self.dir)
        self.assertTrue(left)
        self.assertEqual(undo.returncode, 1)
        for name in left:
            self.assertIn(messages(AT_OTHER_TEMP.format(name, run1)), undo.stderr)
        # Undoing that log then takes everything back.
        sleep_into_next_second()
        self.assertEqual(self.run_tool(args=["--undo", run1]).returncode, 0)
        self.assertEqual(temporary_names(self.dir), [])
        self.assertEqual(sorted(shots_with_times(self.dir)), ["G%07d.pcx" % k for k in range(40)])

    def test_a_file_at_a_temporary_name_the_undo_leaves_alone_is_named(self):
        for k in range(3):
            self.make("G%07d.pcx" % k, 1577836800 * 10**9 + (3 - k) * 10**9, b"shot %d" % k)
        run = self.run_tool()
        self.assertEqual(run.returncode, 0)
        log = newest_log(self.dir)
        # A file a run of no log left, which came after this run.
        self.make("_tmp_1600000000_G0000099.pcx", 1577836800 * 10**9, b"stray")
        sleep_into_next_second()
        undo = self.run_tool(args=["--undo", log])
        self.assertEqual(undo.returncode, 1)
        self.assertIn(messages(AT_UNLOGGED_TEMP.format("_tmp_1600000000_G0000099.pcx")), undo.stderr)
        self.assertEqual(temporary_names(self.dir), ["_tmp_1600000000_G0000099.pcx"])


if __name__ == "__main__":
    unittest.main()
