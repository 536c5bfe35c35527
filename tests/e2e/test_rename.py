"""The rename run: both logs byte for byte, progress, the failure paths, and undo."""

import datetime
import os
import random
import re
import subprocess
import time
import unittest
import zoneinfo

import test_model
from tool import (UNDO_AT_NAMES_ALREADY, LOG_WHY_CONTRADICTS, LOG_WHY_READ_FAILED, LOG_WHY_TITLE, PROCESS_TITLE, UNDO_ELSEWHERE, EOL, LISTING_BROKEN, PREVIEW_DONE, PREVIEW_LEFT, SUMMARY_UNDO_PREVIEW, LOG_INCOMPLETE, LOG_LOST, LOG_UNREADABLE, SUMMARY_UNDO, UNDO_ALREADY, UNDO_NO_ROWS, UNDO_JOURNAL_FAILED,
                  UNDO_LATER_RUN, UNDO_LEFT,
                  UNDO_LOST_LOG, UNDO_NOTHING, UNDO_PROCESS_TITLE, UNDO_RESULT_TITLE, HEADER, WINDOWS, ToolTest, block_log_names, both_logs_on_stdout, capture_order,
                  expected_logs, folder_state, is_shot_name, log_names, logged_summary, make_file, messages, ns_of,
                  progress_messages, run_summary, run_tool,
                  shots_with_times, sjis, snapshot, stamp_of_log, stamp_on_stdout, standard_output, target_name,
                  temp_name)


class RenameRun(ToolTest):
    def check_run(self, run, shots, tz="UTC", verdicts=None, failed=False, **causes):
        """The run renamed `shots` ({name: mtime_ns}) with exactly the predicted
        logs and messages; `causes` count its failures as run_summary's."""
        process, result = run.logs()
        self.assertIsNotNone(process, run.stderr.decode("cp932", "replace"))
        self.assertIsNotNone(result)
        self.assertEqual(process[-18:], result[-18:])  # one start time for both
        stamp = stamp_of_log(process, tz)
        want_process, want_result = expected_logs(shots, stamp, tz, verdicts)
        self.assertEqual(run.read(process).decode("cp932"), want_process.decode("cp932"))
        self.assertEqual(run.read(process), want_process)
        self.assertEqual(run.read(result), want_result)
        self.assertEqual(run.stderr, messages(*progress_messages(len(shots), process if failed else None),
                                              logged_summary(want_result, result, **causes)))
        self.assertEqual((run.returncode, run.stdout), (1 if failed else 0, standard_output()))
        return stamp

    def test_two_swapped_files(self):
        shots = {"G0000001.pcx": ns_of("2011-04-13 09:05:07.125999"),
                 "G0000000.pcx": ns_of("2011-04-14 23:59:59.999999999")}
        for name, ns in shots.items():
            self.make(name, ns)
        run = self.run_tool()
        self.check_run(run, shots)
        process, result = run.logs()
        # The hundredths are rounded down.
        self.assertIn(b"OK,G0000001.pcx,G0000000.pcx,2011/04/13,09:05:07:12" + EOL, run.read(result))
        self.assertIn(b"OK,G0000000.pcx,G0000001.pcx,2011/04/14,23:59:59:99" + EOL, run.read(result))
        self.assertFilesAre({"G0000000.pcx": b"G0000001.pcx content", "G0000001.pcx": b"G0000000.pcx content",
                             process: run.read(process), result: run.read(result)})

    def test_equal_times_go_by_name_and_case_is_mended(self):
        when = ns_of("2020-05-05 05:05:05")
        shots = {"g0000003.pcx": when, "G0000002.PCX": when, "G0000001.pcx": when - 1}
        for name, ns in shots.items():
            self.make(name, ns)
        self.check_run(self.run_tool(), shots)
        files = snapshot(self.dir)
        self.assertEqual(files["G0000000.pcx"], b"G0000001.pcx content")
        self.assertEqual(files["G0000001.pcx"], b"G0000002.PCX content")
        self.assertEqual(files["G0000002.pcx"], b"g0000003.pcx content")

    def test_a_screenshot_stranded_at_a_temporary_name_rejoins_the_set(self):
        # An earlier run left it at a temporary name holding the very name its
        # place gives it: the set is not in order all the same. It skips the
        # first phase, so the process log has 2n - 1 rows.
        shots = {"G0000000.pcx": ns_of("2020-01-01 00:00:00"), "_tmp_5_G0000001.pcx": ns_of("2020-01-02 00:00:00")}
        for name, ns in shots.items():
            self.make(name, ns)
        run = self.run_tool()
        self.check_run(run, shots)
        self.assertEqual(run.read(run.logs()[0]).count(EOL), 2 + 3)
        self.assertEqual(run.read("G0000001.pcx"), b"_tmp_5_G0000001.pcx content")

    def test_progress_every_hundred_files(self):
        base = ns_of("2020-01-01 00:00:00")
        shots = {"G%07d.pcx" % (249 - i): base + i * 10**9 for i in range(250)}
        for name, ns in shots.items():
            self.make(name, ns)
        run = self.run_tool()
        self.check_run(run, shots)
        self.assertEqual(run.stderr.count(messages("件目処理中")), 6)
        for i in range(250):
            self.assertEqual(run.read(target_name(i)), ("G%07d.pcx content" % (249 - i)).encode())

    def test_log_time_uses_the_offset_in_force_now(self):
        # A zone with daylight saving: a file from the other half of the year
        # is shown with today's offset, not with the one of its own date.
        tz = "Europe/Berlin"
        zone = zoneinfo.ZoneInfo(tz)
        now = datetime.datetime.now(zone)
        other = (now + datetime.timedelta(days=182)).replace(microsecond=250000)
        self.assertNotEqual(other.utcoffset(), now.utcoffset())
        shots = {"G0000001.pcx": int(other.timestamp()) * 10**9 + 250000000,
                 "G0000000.pcx": int(other.timestamp()) * 10**9 + 86400 * 10**9}
        for name, ns in shots.items():
            self.make(name, ns)
        run = self.run_tool(tz=tz)
        self.check_run(run, shots, tz=tz)
        shown = (other.astimezone(datetime.timezone.utc) + now.utcoffset()).strftime("%Y/%m/%d,%H:%M:%S:25")
        self.assertIn(b"OK,G0000001.pcx,G0000000.pcx," + shown.encode(), run.read(run.logs()[1]))


class FailedRenames(ToolTest):
    def check_failed_run(self, run, shots, verdicts, **causes):
        process, _ = run.logs()
        RenameRun.check_run(self, run, shots, verdicts=verdicts, failed=True, **causes)
        self.assertEqual(run.read(process).count(b"NG,"), len(verdicts))
        return process

    def test_file_that_cannot_move_blocks_the_one_holding_its_target(self):
        # Position 0 bears G0000001.pcx and cannot be renamed; position 1 bears
        # G0000000.pcx, so its target stays taken.
        shots = {"G0000001.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00")}
        for name, ns in shots.items():
            self.make(name, ns)
        run = self.run_tool(seams={"RENAME_FAIL": 1})
        # The first is refused (no access), the second finds its name taken.
        self.check_failed_run(run, shots, {(1, 0): False, (2, 0): False, (2, 1): False}, denied=1, taken=1)
        stamp = stamp_of_log(run.logs()[0], "UTC")
        files = snapshot(self.dir)
        self.assertEqual(files["G0000001.pcx"], b"G0000001.pcx content")
        self.assertEqual(files[f"_tmp_{stamp}_G0000000.pcx"], b"G0000000.pcx content")

    def test_a_file_whose_first_rename_failed_is_not_stood_in_for(self):
        # Every second from now to now+8 is borne by a stranded copy of
        # G0000005.pcx, so the run goes on with a taken stamp: G0000005.pcx
        # cannot move to its temporary name, which the stranded file of that
        # stamp holds. That file is a screenshot with a record of its own:
        # it must not move on G0000005.pcx's behalf, and no row may say so.
        self.make("G0000005.pcx", "2020-01-01 00:00:00")
        start = int(time.time())
        for second in range(start, start + 9):
            self.make(f"_tmp_{second}_G0000005.pcx", ns_of("2020-01-02 00:00:00") + (second - start) * 10**9,
                      b"stranded %d" % second)
        entries, times = test_model.listing(self.dir)
        run = self.run_tool(seams={"CLOCK_SKIPS": "1+"})
        process, result = run.logs()
        stamp = stamp_of_log(process, "UTC")
        self.assertIn(f"_tmp_{stamp}_G0000005.pcx", entries)
        model = test_model.Model(entries, times, stamp)
        self.assertEqual((model.verdicts[(1, 0)], model.verdicts[(2, 0)]), (False, False))
        want_process, want_result = expected_logs(model.shots, stamp, "UTC", model.verdicts)
        self.assertEqual((run.read(process), run.read(result)), (want_process, want_result))
        after, _ = test_model.listing(self.dir)
        del after[process], after[result]
        self.assertEqual(after, model.entries)
        self.assertEqual(after["G0000005.pcx"], ("file", b"G0000005.pcx content"))

    def test_directory_at_a_target_name(self):
        shots = {"G0000002.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00")}
        for name, ns in shots.items():
            self.make(name, ns)
        os.mkdir(os.path.join(self.dir, "G0000001.pcx"))
        run = self.run_tool()
        self.check_failed_run(run, shots, {(2, 1): False}, taken=1)
        stamp = stamp_of_log(run.logs()[0], "UTC")
        self.assertTrue(os.path.isdir(os.path.join(self.dir, "G0000001.pcx")))
        self.assertEqual(run.read("G0000000.pcx"), b"G0000002.pcx content")
        self.assertEqual(run.read(f"_tmp_{stamp}_G0000000.pcx"), b"G0000000.pcx content")
        # While the folder stays, a run strands nothing more; once it is gone,
        # one more run puts every file in place.
        stranded = {n: c for n, c in snapshot(self.dir).items() if n.startswith("_tmp_")}
        self.run_tool()
        self.assertEqual({n: c for n, c in snapshot(self.dir).items() if n.startswith("_tmp_")}, stranded)
        os.rmdir(os.path.join(self.dir, "G0000001.pcx"))
        self.run_tool()
        self.assertEqual({n: c for n, c in snapshot(self.dir).items() if not n.startswith("Veltrasko")},
                         {"G0000000.pcx": b"G0000002.pcx content", "G0000001.pcx": b"G0000000.pcx content"})

    def test_every_rename_failing_from_the_second_phase_on(self):
        shots = {"G0000003.pcx": ns_of("2020-01-01 00:00:00"), "G0000002.pcx": ns_of("2020-01-02 00:00:00"),
                 "G0000001.pcx": ns_of("2020-01-03 00:00:00")}
        for name, ns in shots.items():
            self.make(name, ns)
        run = self.run_tool(seams={"RENAME_FAIL": "4+"})
        self.check_failed_run(run, shots, {(2, i): False for i in range(3)}, denied=3)
        stamp = stamp_of_log(run.logs()[0], "UTC")
        for name in shots:
            self.assertEqual(run.read(f"_tmp_{stamp}_{name}"), name.encode() + b" content")

    def test_logs_that_cannot_be_created_go_to_standard_output(self):
        shots = {"G0000001.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00")}
        for name, ns in shots.items():
            self.make(name, ns)
        blocked = block_log_names(self.dir)
        run = self.run_tool()
        self.assertEqual(run.stderr, messages(*progress_messages(2)))
        # Both logs on standard output, interleaved in the order of the writes.
        process, result = expected_logs(shots, stamp_on_stdout(run), "UTC")
        self.assertEqual(run.stdout, standard_output(both_logs_on_stdout(process, result, 2)))
        self.assertEqual(run.read("G0000000.pcx"), b"G0000001.pcx content")
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(blocked + ["G0000000.pcx", "G0000001.pcx"]))

    def check_fallback(self, seams):
        """A run where renames go the fallback way: an obstacle at a target
        stays, nothing replaces it."""
        shots = {"G0000001.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00"),
                 "G0000003.pcx": ns_of("2020-01-03 00:00:00")}
        for name, ns in shots.items():
            self.make(name, ns)
        os.mkdir(os.path.join(self.dir, "G0000002.pcx"))
        run = self.run_tool(seams=seams)
        self.check_failed_run(run, shots, {(2, 2): False}, taken=1)
        self.assertEqual(run.read("G0000000.pcx"), b"G0000001.pcx content")
        self.assertEqual(run.read("G0000001.pcx"), b"G0000000.pcx content")
        self.assertTrue(os.path.isdir(os.path.join(self.dir, "G0000002.pcx")))

    def test_fallback_without_no_replace_support(self):
        self.check_fallback({"NO_NOREPLACE": "1+"})

    def test_fallback_without_links(self):
        # FAT and exFAT: neither no-replace renames nor links.
        self.check_fallback({"NO_NOREPLACE": "1+", "NO_LINK": "1+"})


class LogsThatStopTakingRows(ToolTest):
    """A log whose file stops taking rows (a full disk) goes on on standard
    output and the run says so at its end; the renames go on regardless."""

    SHOTS = {"G0000001.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00")}

    def run_over_two(self, **kwargs):
        for name, ns in self.SHOTS.items():
            self.make(name, ns)
        run = self.run_tool(**kwargs)
        self.assertEqual((run.read("G0000000.pcx"), run.read("G0000001.pcx")),
                         (b"G0000001.pcx content", b"G0000000.pcx content"))
        return run

    def expected(self, run):
        process, result = run.logs()
        return process, result, expected_logs(self.SHOTS, stamp_of_log(process, "UTC"), "UTC")

    def test_a_row_the_file_refuses_and_the_rest_go_to_standard_output(self):
        # The third write is the process log's second row.
        run = self.run_over_two(seams={"LOG_WRITE_FAIL": 3})
        process, result, (want_process, want_result) = self.expected(run)
        lines = want_process.split(EOL)
        self.assertEqual(run.read(process), EOL.join(lines[:3]) + EOL)
        self.assertEqual(run.stdout, standard_output(EOL.join(lines[:2] + lines[3:])))
        self.assertEqual(run.read(result), want_result)
        self.assertEqual(run.stderr, messages(*progress_messages(2), LOG_INCOMPLETE.format(process),
                                              run_summary(2, ".", result)))

    def test_rows_that_standard_output_refuses_too_are_reported(self):
        run = self.run_over_two(seams={"LOG_WRITE_FAIL": "2+"})
        process, result, (want_process, _) = self.expected(run)
        self.assertEqual(run.read(process), EOL.join(want_process.split(EOL)[:2]) + EOL)
        self.assertEqual((run.read(result), run.stdout), (b"", standard_output()))
        self.assertEqual(run.stderr, messages(*progress_messages(2), LOG_LOST.format(process), LOG_LOST.format(result),
                                              run_summary(2, ".", result)))

    def test_a_full_disk(self):
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", self.dir],
                          capture_output=True).returncode != 0:
            self.skipTest("cannot mount a file system here")
        self.addCleanup(subprocess.run, ["umount", self.dir])
        for name, ns in self.SHOTS.items():
            self.make(name, ns)
        with open(os.path.join(self.dir, "filler"), "wb", buffering=0) as filler:
            try:
                while True:
                    filler.write(b"\0" * 4096)
            except OSError:
                pass
        run = self.run_over_two()
        process, result, (want_process, want_result) = self.expected(run)
        self.assertEqual((run.read(process), run.read(result)), (b"", b""))
        self.assertEqual(run.stdout, standard_output(both_logs_on_stdout(want_process, want_result, 2)))
        self.assertEqual(run.stderr, messages(*progress_messages(2), LOG_INCOMPLETE.format(process),
                                              LOG_INCOMPLETE.format(result), run_summary(2, ".", result)))

    @unittest.skipIf(WINDOWS, "Wine sets a file's end with ftruncate, which takes no room on Linux")
    def test_a_disk_with_room_for_the_heads_but_not_for_all_rows(self):
        # The logs cannot be given their room, so they are written a row at a
        # time, as on a full disk: the rows the file takes, then the rest on
        # standard output, and the run says so.
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", self.dir],
                          capture_output=True).returncode != 0:
            self.skipTest("cannot mount a file system here")
        self.addCleanup(subprocess.run, ["umount", self.dir])
        shots = {"G%07d.pcx" % (99 - i): ns_of("2020-01-01 00:00:00") + i * 10**9 for i in range(100)}
        for name, ns in shots.items():
            self.make(name, ns)
        disk = os.statvfs(self.dir)
        with open(os.path.join(self.dir, "filler"), "wb") as filler:
            filler.write(b"\0" * ((disk.f_bavail - 2) * disk.f_frsize))
        run = self.run_tool()
        process, result = run.logs()
        whole = expected_logs(shots, stamp_of_log(process, "UTC"), "UTC")[0]
        kept = run.read(process)
        self.assertNotIn(b"\0", kept)
        self.assertEqual(kept, whole[:len(kept)])
        want = whole.split(EOL)[2:-1]
        in_file = kept.split(EOL)[2:-1]  # the whole rows
        self.assertGreater(len(in_file), 10)
        on_stdout = [line for line in run.stdout.split(EOL) if b"_tmp_" in line]
        self.assertEqual(in_file + on_stdout, want)
        self.assertTrue(run.stderr.endswith(messages(LOG_INCOMPLETE.format(process), LOG_INCOMPLETE.format(result),
                                                     run_summary(100, ".", result))))

    def test_logs_that_neither_a_file_nor_standard_output_take(self):
        blocked = block_log_names(self.dir)
        with open("/dev/full", "wb") as full:
            run = self.run_over_two(stdout=full)
        named = [name.decode() for name in re.findall(rb"Veltrasko\w+\.csv", run.stderr)]
        self.assertEqual(len(named), 2)
        self.assertTrue(set(named) <= set(blocked))
        self.assertEqual(run.stderr, messages(*progress_messages(2), *(LOG_LOST.format(name) for name in named)))


class RandomDirectories(ToolTest):
    """Random small directory states: every screenshot ends at the name its
    capture position gives, and no content is lost."""

    def test_random_states(self):
        rng = random.Random(int(os.environ.get("SHOTRENUM_E2E_SEED", "20261208")))
        states = int(os.environ.get("SHOTRENUM_E2E_STATES", "40"))
        for state in range(states):
            with self.subTest(state=state):
                self.one_state(rng)

    def one_state(self, rng):
        for name in os.listdir(self.dir):
            os.remove(os.path.join(self.dir, name))
        times = [ns_of("2020-01-01 00:00:00") + rng.randrange(4) * 10**9 + rng.randrange(3) for _ in range(4)]
        shots = {}
        for _ in range(rng.randrange(1, 12)):
            digits = "".join(rng.choice("0123456789") for _ in range(7)) if rng.random() < 0.3 else \
                "%07d" % rng.randrange(12)
            name = rng.choice("Gg") + digits + "." + "".join(rng.choice((c, c.upper())) for c in "pcx")
            if WINDOWS and any(name.lower() == other.lower() for other in shots):
                continue  # names that differ only in case cannot both exist on Windows
            shots[name] = rng.choice(times)
        decoys = {"G%06d.pcx" % rng.randrange(100): 1, "G000000x.pcx": 2, "notes.txt": 3}
        for name, ns in list(shots.items()) + list(decoys.items()):
            self.make(name, ns)
        before = snapshot(self.dir)
        run = self.run_tool()
        self.assertEqual(run.returncode, 0)
        after = snapshot(self.dir)
        order = capture_order(shots)
        if [target_name(i) for i in range(len(order))] == order:
            self.assertEqual(after, before)
            return
        for i, name in enumerate(order):
            self.assertEqual(after.pop(target_name(i)), before[name])
        for name in decoys:
            self.assertEqual(after.pop(name), before[name])
        self.assertEqual(len(after), 2)  # the two logs
        self.assertFalse(any(is_shot_name(n) for n in after))


if __name__ == "__main__":
    unittest.main()


class Undo(ToolTest):
    """Undo of a run: every screenshot it moved goes back, newest run first."""

    # The clock jumps to the next free second instead of waiting for it.
    FAST = {"CLOCK_SKIPS": "1+"}

    def go(self, *args, directory=None):
        return run_tool(directory or self.dir, seams=self.FAST, args=list(args))

    def make_shots(self):
        """Out of order, with equal times among them, a lower-case name and a
        screenshot an older run left at a temporary name (no logs)."""
        when = ns_of("2020-01-02 00:00:00")
        self.make("G0000005.pcx", when)
        self.make("G0000002.pcx", when)
        self.make("g0000004.pcx", when)
        self.make("G0000000.pcx", when + 10**9)
        self.make(temp_name(1700000000, "G0000003.pcx"), when - 10**9)

    def test_a_run_whose_rows_were_lost_is_never_taken_back_already(self):
        self.make_shots()
        self.assertEqual(self.go().returncode, 0)
        process, result = sorted(log_names(self.dir))
        # Both logs as a power cut leaves them where nothing orders the writes:
        # their heads, then NULs where their rows were.
        for name in (process, result):
            data = self.read(name)
            head = EOL.join(data.split(EOL)[:2]) + EOL
            with open(os.path.join(self.dir, name), "wb") as log:
                log.write(head + b"\0" * (len(data) - len(head)))
        undo = self.go("--undo", result)
        self.assertEqual((undo.returncode, undo.stderr), (1, messages(UNDO_NO_ROWS.format(result))))

    def test_an_undo_counts_the_files_the_run_left_at_their_names(self):
        when = ns_of("2020-01-02 00:00:00")
        for age, name in enumerate(["G0000001.pcx", "G0000002.pcx", "G0000000.pcx"]):
            self.make(name, when - age * 10**9)
        self.assertEqual(self.go().returncode, 0)
        process, result = sorted(log_names(self.dir))
        self.make("G0000009.pcx", when + 10**9)  # a new one since: no file of the run
        undo = self.go("--undo", result)
        self.assertEqual(undo.returncode, 0, undo.stderr)
        self.assertTrue(undo.stderr.endswith(messages(SUMMARY_UNDO.format(result, 2, 0),
                                                      UNDO_AT_NAMES_ALREADY.format(1))), undo.stderr)

    def test_a_file_deleted_since_the_run_is_told_as_not_back(self):
        self.make_shots()
        self.assertEqual(self.go().returncode, 0)
        process, result = sorted(log_names(self.dir))
        os.remove(os.path.join(self.dir, "G0000001.pcx"))
        undo = self.go("--undo", result)
        undo_process = self.new_logs([process, result])[0]
        self.assertEqual(undo.returncode, 1)
        self.assertIn(messages(UNDO_LEFT.format(1, undo_process)), undo.stderr)

    def undone(self, before):
        """The folder before a run, as an undo leaves it: a screenshot the run
        took from a temporary name bears the name in it."""
        back = dict(before)
        back["G0000003.pcx"] = back.pop(temp_name(1700000000, "G0000003.pcx"))
        return back

    def new_logs(self, known):
        return [n for n in log_names(self.dir) if n not in known]

    def test_a_run_then_its_undo_gives_back_every_name_content_and_time(self):
        self.make_shots()
        before = shots_with_times(self.dir)
        self.assertEqual(self.go().returncode, 0)
        process, result = log_names(self.dir)
        elsewhere = os.path.join(self.dir, "elsewhere")
        os.mkdir(elsewhere)
        # From another folder, with the path of the result log.
        undo = self.go("--undo", os.path.join(self.dir, result), directory=elsewhere)
        self.assertEqual((undo.returncode, undo.stdout), (0, standard_output(args=True)))
        # The screenshot at a temporary name whose logs are gone goes back to
        # the name in it, and the undo names the missing log.
        self.assertEqual(undo.stderr, messages(*progress_messages(5),
                                               UNDO_LOST_LOG.format("VeltraskoAll_20231114221320.csv"),
                                               SUMMARY_UNDO.format(result, 5, 0)))
        self.assertEqual(shots_with_times(self.dir), self.undone(before))
        undo_process, undo_result = self.new_logs([process, result])
        self.assertTrue(self.read(undo_process).startswith(
            sjis(UNDO_PROCESS_TITLE.format(process) + "\n" + HEADER + "\n").replace(b"\n", EOL)))
        result_rows = self.read(undo_result).split(EOL)
        self.assertEqual(result_rows[0], sjis(UNDO_RESULT_TITLE.format(process)))
        # One row per screenshot, from the run's target to the name before it.
        self.assertIn(b"OK,G0000000.pcx,G0000003.pcx,2020/01/01,23:59:59:00", result_rows)
        self.assertEqual(len(result_rows), 2 + 5 + 1)
        # Given again, and the process log dropped on the tool: taken back
        # already, each named as given, nothing touched.
        for args in (["--undo", result], [process]):
            again = self.go(*args)
            self.assertEqual((again.returncode, again.stderr), (1, messages(UNDO_ALREADY.format(args[-1]))))
        self.assertEqual(shots_with_times(self.dir), self.undone(before))
        self.assertEqual(len(log_names(self.dir)), 4)

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def test_screenshots_the_run_left_at_its_temporary_names_get_their_own_names(self):
        self.make_shots()
        before = shots_with_times(self.dir)
        os.mkdir(os.path.join(self.dir, "G0000002.pcx.d"))
        os.mkdir(os.path.join(self.dir, "G0000001.pcx"))  # blocks a target
        self.go()
        os.rmdir(os.path.join(self.dir, "G0000001.pcx"))
        self.assertTrue(any(n.startswith("_tmp_") and n != temp_name(1700000000, "G0000003.pcx")
                            for n in os.listdir(self.dir)))
        process = log_names(self.dir)[0]
        self.assertEqual(self.go("--undo", process).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), self.undone(before))

    def test_newest_run_first_then_back_to_the_first(self):
        self.make_shots()
        before = shots_with_times(self.dir)
        self.go()
        first = log_names(self.dir)
        # A shot older than all: the second run moves every file again.
        self.make("G0000099.pcx", ns_of("2019-01-01 00:00:00"))
        before_second = shots_with_times(self.dir)
        self.go()
        second = self.new_logs(first)
        for log in first:
            files = snapshot(self.dir)
            refused = self.go("--undo", log)
            self.assertEqual((refused.returncode, refused.stderr),
                             (1, messages(UNDO_LATER_RUN.format(second[0]))))
            self.assertEqual(snapshot(self.dir), files)
        # A listing of the logs that breaks off could hide a later run.
        files = snapshot(self.dir)
        broken = run_tool(self.dir, seams={**self.FAST, "LISTING_FAIL": "1"}, args=["--undo", second[1]])
        self.assertEqual((broken.returncode, broken.stderr), (1, messages(LISTING_BROKEN + "\n")))
        self.assertEqual(snapshot(self.dir), files)
        self.assertEqual(self.go("--undo", second[1]).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), before_second)
        self.assertEqual(self.go("--undo", first[1]).returncode, 0)
        want = self.undone(before)
        want["G0000099.pcx"] = before_second["G0000099.pcx"]
        self.assertEqual(shots_with_times(self.dir), want)

    def test_newest_first_counts_the_undos(self):
        # Runs A and B, B undone, A undone: "undo B" cannot be taken back
        # while A is (B was made on A); once A stands again, it can.
        self.make_shots()
        self.go()
        a = log_names(self.dir)
        self.make("G0000099.pcx", ns_of("2019-01-01 00:00:00"))
        self.go()
        b = self.new_logs(a)
        self.go("--undo", b[0])
        undo_b = self.new_logs(a + b)
        self.go("--undo", a[0])
        undo_a = self.new_logs(a + b + undo_b)
        files = snapshot(self.dir)
        refused = self.go("--undo", undo_b[0])
        self.assertEqual((refused.returncode, refused.stderr), (1, messages(UNDO_LATER_RUN.format(undo_a[0]))))
        self.assertEqual(snapshot(self.dir), files)
        # (Every command so far took one of the seconds the clock jumped to:
        # the next ones take later ones.)
        time.sleep(2)
        self.assertEqual(self.go("--undo", undo_a[0]).returncode, 0)
        self.assertEqual(self.go("--undo", undo_b[0]).returncode, 0)

    def test_what_cannot_be_read_is_never_taken_as_absent(self):
        self.make_shots()
        self.go()
        process, result = log_names(self.dir)
        later = "VeltraskoAll_20991231235959.csv"
        files = snapshot(self.dir)
        # A later run's process log a full disk left empty while the run went
        # on to its result log, and one named like a log that is a FIFO (never
        # opened for a blocking read, in a run too).
        later_result = "VeltraskoLog_20991231235959.csv"

        def emptied(path):
            for name in (path, os.path.join(self.dir, later_result)):
                open(name, "wb").close()

        obstacles = [(emptied, LOG_WHY_TITLE)]
        if not WINDOWS:
            obstacles.append((os.mkfifo, LOG_WHY_READ_FAILED))
        for make, why in obstacles:
            make(os.path.join(self.dir, later))
            refused = self.go("--undo", result)
            self.assertEqual((refused.returncode, refused.stderr),
                             (1, messages(LOG_UNREADABLE.format(later), why)))
            self.assertEqual(run_tool(self.dir, seams=self.FAST).returncode, 0)
            for name in (later, later_result):
                if os.path.exists(os.path.join(self.dir, name)):
                    os.remove(os.path.join(self.dir, name))
        self.assertEqual(snapshot(self.dir), files)
        # A search of the folder (for its logs, then for its screenshots)
        # that cannot start is no empty result.
        for search in ("1", "2"):
            failed = run_tool(self.dir, seams={**self.FAST, "SEARCH_FAIL": search}, args=["--undo", result])
            self.assertEqual((failed.returncode, failed.stderr), (1, messages(LISTING_BROKEN + "\n")))
            self.assertEqual(snapshot(self.dir), files)

    def test_a_log_saved_again_by_a_spreadsheet_still_undoes_its_run(self):
        # As a spreadsheet saves it: fields in quotes, the title padded with
        # empty fields, CR LF, month, day and hour without leading zeros.
        self.make_shots()
        before = shots_with_times(self.dir)
        self.go()
        process, result = log_names(self.dir)
        for name in (process, result):
            lines = self.read(name).replace(b"\r\n", b"\n").split(b"\n")[:-1]
            saved = [b'"' + lines[0] + b'",,,,', lines[1]]
            for row in lines[2:]:
                verdict, before_name, after_name, date, clock = row.split(b",")
                year, month, day = date.split(b"/")
                hour = clock.split(b":")[0]
                saved.append(b",".join([b'"' + verdict + b'"', b'"' + before_name + b'"', after_name,
                                        b"/".join([year, str(int(month)).encode(), str(int(day)).encode()]),
                                        str(int(hour)).encode() + clock[2:]]) + b",,")
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(b"\r\n".join(saved) + b"\r\n")
        undo = self.go("--undo", result)
        self.assertEqual(undo.returncode, 0, undo.stderr)
        self.assertEqual(shots_with_times(self.dir), self.undone(before))

    def test_a_log_that_contradicts_itself_is_refused_untouched(self):
        self.make_shots()
        self.go()
        process, result = log_names(self.dir)
        rows = self.read(process).split(EOL)
        # Two files sent to one name: the last second-phase row's name given
        # to the one before it too.
        second = [i for i, r in enumerate(rows) if r.startswith(b"OK,_tmp_")]
        last = rows[second[-1]].split(b",")
        fields = rows[second[-2]].split(b",")
        fields[2] = last[2]
        rows[second[-2]] = b",".join(fields)
        with open(os.path.join(self.dir, process), "wb") as f:
            f.write(EOL.join(rows))
        files = snapshot(self.dir)
        refused = self.go("--undo", result)
        self.assertEqual((refused.returncode, refused.stderr),
                         (1, messages(LOG_UNREADABLE.format(process), LOG_WHY_CONTRADICTS)))
        self.assertEqual(snapshot(self.dir), files)

    def test_an_undo_writes_its_journal_first(self):
        self.make_shots()
        self.go()
        process, result = log_names(self.dir)
        # Its process log's head cannot be written (a full disk): nothing is
        # renamed, and nothing is left of the log.
        files = folder_state(self.dir)
        refused = run_tool(self.dir, seams={**self.FAST, "LOG_WRITE_FAIL": "1+"}, args=["--undo", result])
        self.assertEqual(refused.returncode, 1)
        journal = re.search(rb"VeltraskoAll_\d{14}\.csv", refused.stderr).group().decode()
        self.assertEqual(refused.stderr, messages(UNDO_JOURNAL_FAILED.format(journal)))
        self.assertEqual(folder_state(self.dir), files)

    def test_a_preview_of_an_undo_shows_its_renames_and_touches_nothing(self):
        self.make_shots()
        self.go()
        logs = log_names(self.dir)
        before = folder_state(self.dir)
        previews = [self.go("-n", log) for log in logs]
        self.assertEqual(folder_state(self.dir), before)  # the logs included
        for preview in previews:
            self.assertEqual((preview.returncode, preview.stderr),
                             (0, messages(PREVIEW_DONE, SUMMARY_UNDO_PREVIEW.format(5))))
        # What it showed is what the undo then does, one line a rename.
        self.assertEqual(self.go("--undo", logs[1]).returncode, 0)
        undo_result = [n for n in self.new_logs(logs) if n.startswith("VeltraskoLog_")][0]
        rows = self.read(undo_result).split(EOL)[2:-1]
        self.assertEqual(previews[0].stdout, b"".join(b"%s -> %s" % tuple(row.split(b",")[1:3]) + EOL for row in rows))
        # Refused as the undo is refused, touching nothing.
        before = folder_state(self.dir)
        refused = self.go("-n", logs[1])
        self.assertEqual((refused.returncode, refused.stdout), (1, b""))
        self.assertEqual(refused.stderr, self.go("--undo", logs[1]).stderr)
        self.assertEqual(folder_state(self.dir), before)

    def test_a_preview_of_an_undo_that_would_leave_a_file_fails(self):
        self.make_shots()
        self.go()
        logs = log_names(self.dir)
        os.utime(os.path.join(self.dir, "G0000000.pcx"), ns=(ns_of("2021-01-01 00:00:00"),) * 2)  # changed since
        preview = self.go("-n", logs[0])
        # As the undo then ends: the changed file, and those whose way back it
        # holds, stay (NG rows); the others go back (OK rows).
        undo = self.go("--undo", logs[0])
        self.assertEqual(undo.returncode, 1)
        journal = [n for n in self.new_logs(logs) if n.startswith("VeltraskoLog_")][0]
        rows = [row.split(b",") for row in self.read(journal).split(EOL)[2:-1]]
        back = [b"%s -> %s" % (row[1], row[2]) + EOL for row in rows if row[0] == b"OK"]
        left = len(rows) - len(back)
        self.assertGreater(left, 0)
        self.assertEqual((preview.returncode, preview.stdout, preview.stderr),
                         (1, b"".join(back),
                          messages(PREVIEW_LEFT.format(left), PREVIEW_DONE, SUMMARY_UNDO_PREVIEW.format(len(back)))))

    @unittest.skipIf(WINDOWS, "Windows renames never fall back to a link and an unlink")
    def test_an_undo_killed_between_link_and_unlink_finishes_with_one_name_a_file(self):
        for link in (2, 7):  # in the first phase and in the second
            with self.subTest(link=link):
                for name in os.listdir(self.dir):
                    os.remove(os.path.join(self.dir, name))
                self.make_shots()
                before = shots_with_times(self.dir)
                self.go()
                result = log_names(self.dir)[1]
                killed = run_tool(self.dir, seams={**self.FAST, "NO_NOREPLACE": "1+", "DIE_AFTER_LINK": link},
                                  args=["--undo", result])
                self.assertEqual(killed.returncode, 137)
                again = run_tool(self.dir, seams={**self.FAST, "NO_NOREPLACE": "1+"}, args=["--undo", result])
                self.assertEqual(again.returncode, 0, again.stderr)
                self.assertEqual(shots_with_times(self.dir), self.undone(before))
                self.assertTrue(all(os.stat(os.path.join(self.dir, n)).st_nlink == 1 for n in os.listdir(self.dir)))

    def test_a_changed_file_and_a_new_shot_at_an_old_name_are_left_alone(self):
        when = ns_of("2020-01-02 00:00:00")
        for k, name in enumerate(("G0000007.pcx", "G0000006.pcx", "G0000005.pcx")):
            self.make(name, when + k * 10**9)
        self.go()
        process, result = log_names(self.dir)
        # A change the row's hundredths show: was G0000007.pcx.
        os.utime(os.path.join(self.dir, "G0000000.pcx"), ns=(when + 10**7, when + 10**7))
        self.make("G0000006.pcx", when + 7 * 10**9, b"a new shot")  # the old name of G0000001.pcx
        undo = self.go("--undo", result)
        undo_process = self.new_logs([process, result])[0]
        # Both stay where they are, with NG rows; the third goes back.
        self.assertEqual((undo.returncode, undo.stderr),
                         (1, messages(*progress_messages(3), UNDO_LEFT.format(2, undo_process),
                                      SUMMARY_UNDO.format(result, 1, 2))))
        files = snapshot(self.dir)
        self.assertEqual(files["G0000000.pcx"], b"G0000007.pcx content")
        self.assertEqual(files["G0000001.pcx"], b"G0000006.pcx content")
        self.assertEqual(files["G0000006.pcx"], b"a new shot")
        self.assertEqual(files["G0000005.pcx"], b"G0000005.pcx content")
        failed = sorted(row[:15] for row in files[undo_process].split(EOL) if row.startswith(b"NG,G"))
        self.assertEqual(failed, [b"NG,G0000000.pcx", b"NG,G0000001.pcx"])
        # Given again while they still cannot go: refused, no more logs.
        again = self.go("--undo", result)
        self.assertEqual((again.returncode, again.stderr), (1, messages(UNDO_NOTHING + "\n")))
        self.assertEqual(len(log_names(self.dir)), 4)

    def test_what_is_no_log_or_has_nothing_left_is_refused_untouched(self):
        when = ns_of("2020-01-02 00:00:00")
        self.make("G0000001.pcx", when)
        self.make("G0000000.pcx", when + 10**9)
        self.go()
        process, result = log_names(self.dir)
        with open(os.path.join(self.dir, process), "rb") as f:
            good = f.read()
        damaged = [good.replace(b"OK,", b"ok,", 1), good + b"OK,G0000001.pcx", good.replace(b"\n", b"\r\n", 2)]
        for k, content in enumerate(damaged):
            # Of the newest run: no later one stands in the way.
            name = "VeltraskoAll_2099010100000%d.csv" % k
            self.make(name, when, content)
            files = snapshot(self.dir)
            refused = self.go("--undo", name)
            # Its start is a log's: the undo refuses it on the way through.
            # (Where lines end in CR LF already, the third has CR CR LF: no
            # log's start, which the command line refuses.)
            self.assertEqual(refused.returncode, 2 if WINDOWS and k == 2 else 1, content)
            self.assertIn(name.encode(), refused.stderr)
            self.assertEqual(snapshot(self.dir), files)
            os.remove(os.path.join(self.dir, name))
        self.make("renamed.csv", when, good.replace(PROCESS_TITLE.encode("cp932"), b"Notes", 1))
        self.assertEqual(self.go("--undo", "renamed.csv").returncode, 2)
        for name in ("G0000000.pcx", "G0000001.pcx"):
            os.remove(os.path.join(self.dir, name))
        files = snapshot(self.dir)
        gone = self.go("--undo", result)
        self.assertEqual((gone.returncode, gone.stderr), (1, messages(UNDO_ELSEWHERE.format(result))))
        self.assertEqual(snapshot(self.dir), files)

    @unittest.skipUnless(WINDOWS, "a Windows path with a Japanese folder name through the UTF-16 command line")
    def test_the_exe_undoes_a_log_given_by_a_windows_path(self):
        folder = os.path.join(self.dir, "スクショ")
        os.mkdir(folder)
        when = ns_of("2020-01-02 00:00:00")
        make_file(folder, "G0000001.pcx", when)
        make_file(folder, "G0000000.pcx", when + 10**9)
        before = shots_with_times(folder)
        # Wine makes the folder's Windows name in the locale's character set.
        run_tool(folder, seams=self.FAST, locale="C.UTF-8")
        result = log_names(folder)[1]
        path = "Z:" + os.path.join(folder, result).replace("/", "\\")
        undo = run_tool(self.dir, seams=self.FAST, args=[path], locale="C.UTF-8")
        self.assertEqual(undo.returncode, 0, undo.stderr)
        self.assertEqual(shots_with_times(folder), before)
