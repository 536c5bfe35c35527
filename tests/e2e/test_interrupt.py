"""Runs over 2,000 screenshots killed with SIGKILL at random instants: whatever
the instant, every file is still there exactly once, at its old, temporary or
target name, and the process log tells every rename that happened but the one
in flight. One more run, half of the time in the very second of the killed
one, leaves exactly what an uninterrupted run leaves, and the killed run's logs
as they were; so does one more run after two killed in a row. The screenshots come in groups of eight with one write time, so
that only their names (and, after a kill, the killed run's logs) tell their
order. Undos of such a run killed at random instants: the same undo given
again leaves the folder as it was before the run, names, contents and times.
Two runs started together in one folder: one renumbers, the other touches
nothing.

SHOTRENUM_KILLS sets how many runs, and how many undos, are killed (a few by
default),
SHOTRENUM_KILL_SEED the seed of the files' order and the kill instants."""

import datetime
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

from tool import (ANOTHER_RUN, BIN, EOL, IN_ORDER, RUNNER, UNDO_ALREADY, UNDO_LATER_RUN, WINDOWS, ToolTest,
                  capture_order, expected_logs, make_file, messages, run_tool, shots_with_times, sjis, snapshot,
                  stamp_of_log, target_name, tool_environment)

SHOTS = 2000
TOGETHER = 5000  # screenshots for two runs started together
# Under Wine a whole run takes seconds, so it gets fewer by default.
KILLS = int(os.environ.get("SHOTRENUM_KILLS", "3" if WINDOWS else "12"))
SEED = int(os.environ.get("SHOTRENUM_KILL_SEED", "1208"))
BASE_NS = 1577836800 * 10**9
# The tool under test stores no log into a mapping (tests/support/seam_env.cpp).
NO_MAPPING = os.environ.get("SHOTRENUM_NO_MAPPING") == "1"


def start(directory, stderr=subprocess.DEVNULL, args=()):
    return subprocess.Popen(RUNNER + [BIN, *args], cwd=directory, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=stderr, env=tool_environment())


def sleep_into_next_second():
    time.sleep(1.02 - time.time() % 1)


class KilledRuns(ToolTest):
    def setUp(self):
        super().setUp()
        self.rng = random.Random(SEED)
        self.shots, self.order = self.shot_set(SHOTS)

    def shot_set(self, n):
        """n screenshots in groups of eight with one write time, whose capture
        order is a random permutation of their numbers, so that nearly every
        file moves; and that order."""
        numbers = list(range(n))
        self.rng.shuffle(numbers)
        shots = {"G%07d.pcx" % number: BASE_NS + k // 8 * 10**9 for k, number in enumerate(numbers)}
        return shots, capture_order(shots)

    def fill(self, shots=None):
        directory = tempfile.mkdtemp(dir=self.dir)
        for name, ns in (shots or self.shots).items():
            make_file(directory, name, ns)
        return directory

    def restore(self, directory, before):
        """Puts every file back at its old name (renaming keeps the times;
        creating 2,000 files anew is much slower) and drops the logs."""
        old_name = {content: name for name, content in before.items()}
        for name, content in snapshot(directory).items():
            path = os.path.join(directory, name)
            if content in old_name:
                os.rename(path, os.path.join(directory, "back_" + old_name[content]))
            else:
                os.remove(path)
        for name in before:
            os.rename(os.path.join(directory, "back_" + name), os.path.join(directory, name))

    def renames(self, stamp):
        """Every rename of a run, in the order the run makes them."""
        temp = {name: f"_tmp_{stamp}_{name}" for name in self.order}
        return ([(name, temp[name]) for name in self.order] +
                [(temp[name], target_name(i)) for i, name in enumerate(self.order)])

    def test_killed_runs_lose_nothing(self):
        directory = self.fill()
        before = snapshot(directory)
        lengths = []
        for _ in range(1 if WINDOWS else 3):  # the shortest of a few whole runs
            self.restore(directory, before)
            began = time.monotonic()
            self.assertEqual(start(directory).wait(), 0)
            lengths.append(time.monotonic() - began)
        length = min(lengths)

        landed = {"before the first row": 0, "phase 1": 0, "phase 2": 0, "after the last row": 0, "finished": 0}
        same_second = 0
        for kill in range(KILLS):
            self.restore(directory, before)
            # One kill in each of KILLS equal slices of the measured run.
            delay = length * (kill + self.rng.random()) / KILLS
            # Every other kill is followed by one more run in the same second.
            rerun_at_once = kill % 2 == 0
            if rerun_at_once and time.time() % 1 + delay > 0.8:
                sleep_into_next_second()
            tool = start(directory)
            time.sleep(delay)
            tool.kill()
            if tool.wait() == 0:
                landed["finished"] += 1
            with self.subTest(kill=kill, delay=delay, seed=SEED):
                rows, stamp = self.check_killed(directory, before)
                landed["before the first row" if rows == 0 else "phase 1" if rows <= SHOTS else
                       "phase 2" if rows < 2 * SHOTS else "after the last row"] += 1
                if not rerun_at_once:
                    sleep_into_next_second()
                same_second += int(time.time()) == stamp
                self.check_rerun(directory, before)
        print(f"\n{KILLS - landed['finished']} of {KILLS} kills hit a running tool (a whole run takes "
              f"{length * 1000:.0f} ms); rows in the process log when killed: {landed}; "
              f"{same_second} reruns started in the killed run's second", file=sys.stderr)

    def test_chains_of_killed_runs(self):
        # Two killed runs in a row, each at a random instant of a whole run,
        # then one more: as if nothing had been killed.
        directory = self.fill()
        before = snapshot(directory)
        began = time.monotonic()
        self.assertEqual(start(directory).wait(), 0)
        length = time.monotonic() - began
        for chain in range(max(1, KILLS // 4)):
            self.restore(directory, before)
            for _ in range(2):
                tool = start(directory)
                time.sleep(length * self.rng.random())
                tool.kill()
                tool.wait()
                if self.rng.random() < 0.3:
                    sleep_into_next_second()
            with self.subTest(chain=chain, seed=SEED):
                self.assertEqual(start(directory).wait(), 0)
                self.assertPlacedAsUninterrupted(snapshot(directory), before, self.order)

    def test_killed_undos_finish_when_given_again(self):
        directory = self.fill()
        before = shots_with_times(directory)
        self.assertEqual(start(directory).wait(), 0)
        run_logs = {n: c for n, c in snapshot(directory).items() if n.startswith("Veltrasko")}
        result = min(n for n in run_logs if n.startswith("VeltraskoLog_"))
        placed = shots_with_times(directory)
        sleep_into_next_second()  # not timed waiting for a second the run's logs leave free
        began = time.monotonic()
        self.assertEqual(start(directory, args=["--undo", result]).wait(), 0)
        length = time.monotonic() - began
        self.assertEqual(shots_with_times(directory), before)

        hit = 0
        for kill in range(KILLS):
            self.put_back(directory, placed, run_logs)
            tool = start(directory, args=["--undo", result])
            time.sleep(length * (kill + self.rng.random()) / KILLS)
            tool.kill()
            hit += tool.wait() != 0
            with self.subTest(kill=kill, seed=SEED):
                # Nothing lost, then the same command finishes the undo.
                files = shots_with_times(directory)
                self.assertEqual(sorted(files.values()), sorted(placed.values()))
                # 0 when it finished the undo, 1 when the kill came too late
                # and nothing was left to take back.
                self.assertIn(start(directory, args=["--undo", result]).wait(), (0, 1))
                self.assertEqual(shots_with_times(directory), before)
        print(f"\n{hit} of {KILLS} kills hit a running undo (a whole undo takes {length * 1000:.0f} ms)",
              file=sys.stderr)

    def put_back(self, directory, files, logs):
        """Puts every screenshot back at its name in `files` ({name: (content,
        time)}) and leaves only the given logs."""
        name_of = {content: name for name, (content, _) in files.items()}
        for name, content in snapshot(directory).items():
            path = os.path.join(directory, name)
            if content in name_of:
                os.rename(path, os.path.join(directory, "back_" + name_of[content]))
            elif name not in logs:
                os.remove(path)
        for name in files:
            os.rename(os.path.join(directory, "back_" + name), os.path.join(directory, name))

    def check_rerun(self, directory, before):
        """One more run leaves every file where an uninterrupted run puts it,
        and the logs already there as they were (but for the NUL bytes after
        their rows, and a row the kill cut short before them, which go when
        the run reads them)."""
        logs = {n: c for n, c in snapshot(directory).items() if n.startswith("Veltrasko")}
        self.assertEqual(start(directory).wait(), 0)
        after = snapshot(directory)
        for name, content in logs.items():
            rows = content.rstrip(b"\0")
            whole_rows = rows if content == rows else rows[:rows.rfind(b"\n") + 1]
            self.assertIn(after.pop(name, b""), (content, whole_rows))
        self.assertIn(len([n for n in after if n.startswith("Veltrasko")]), (0, 2))
        self.assertPlacedAsUninterrupted(after, before, self.order)

    def assertPlacedAsUninterrupted(self, after, before, order):
        """Every file at the target an uninterrupted run gives it, and nothing
        else but logs."""
        want = {target_name(i): before[name] for i, name in enumerate(order)}
        got = {n: c for n, c in after.items() if not n.startswith("Veltrasko")}
        wrong = sorted(n for n in set(want) | set(got) if want.get(n) != got.get(n))
        self.assertEqual(wrong[:10], [], f"{len(wrong)} names hold what an uninterrupted run would not put there")

    def test_two_runs_started_together(self):
        shots, order = self.shot_set(TOGETHER)
        directory = self.fill(shots)
        before = snapshot(directory)
        runs = [start(directory, stderr=subprocess.PIPE) for _ in range(2)]
        errors = sorted((run.communicate()[1] for run in runs), key=len)
        self.assertEqual(errors[0], messages(ANOTHER_RUN + "\n"))
        self.assertIn(messages("リネーム終了"), errors[1])
        after = snapshot(directory)
        self.assertEqual(len([n for n in after if n.startswith("Veltrasko")]), 2)
        self.assertPlacedAsUninterrupted(after, before, order)

    @unittest.skipIf(WINDOWS, "Windows renames never fall back to a link and an unlink")
    def test_fallback_killed_between_link_and_unlink(self):
        # The file then has two names: its own (or its target) and a temporary
        # one. One more run drops the temporary one and renumbers.
        shots = {"G0000002.pcx": BASE_NS, "G0000000.pcx": BASE_NS + 10**9, "G0000001.pcx": BASE_NS + 2 * 10**9}
        order = capture_order(shots)
        for link in (2, 5):  # in the first phase and in the second
            with self.subTest(link=link):
                directory = tempfile.mkdtemp(dir=self.dir)
                for name, ns in shots.items():
                    make_file(directory, name, ns)
                killed = run_tool(directory, seams={"NO_NOREPLACE": "1+", "DIE_AFTER_LINK": link})
                self.assertEqual(killed.returncode, 137)
                self.assertEqual(sum(os.stat(os.path.join(directory, n)).st_nlink > 1 for n in os.listdir(directory)),
                                 2)
                run_tool(directory)
                after = {n: c for n, c in snapshot(directory).items() if not n.startswith("Veltrasko")}
                self.assertEqual(after, {target_name(i): name.encode() + b" content" for i, name in enumerate(order)})
                self.assertTrue(all(os.stat(os.path.join(directory, n)).st_nlink == 1 for n in after))

    def test_an_undo_killed_twice_between_link_and_unlink_then_given_again(self):
        # Each kill leaves a file at two names; the undo given again after the
        # second takes the name the kill made away and puts everything back.
        if WINDOWS:
            self.skipTest("links and their kill are POSIX seams")
        shots = {"G0000001.pcx": BASE_NS, "G0000000.pcx": BASE_NS + 10**9}
        for name, ns in shots.items():
            make_file(self.dir, name, ns)
        before = snapshot(self.dir)
        fallback = {"NO_NOREPLACE": "1+"}
        self.assertEqual(run_tool(self.dir, seams=fallback).returncode, 0)
        run = next(n for n in os.listdir(self.dir) if n.startswith("VeltraskoAll_"))
        for kill in (2, 2):
            sleep_into_next_second()
            killed = run_tool(self.dir, args=["--undo", run], seams={**fallback, "DIE_AFTER_LINK": kill})
            self.assertEqual(killed.returncode, 137)
        sleep_into_next_second()
        self.assertEqual(run_tool(self.dir, args=["--undo", run], seams=fallback).returncode, 0)
        after = {n: c for n, c in snapshot(self.dir).items() if not n.startswith("Veltrasko")}
        self.assertEqual(after, before)
        self.assertTrue(all(os.stat(os.path.join(self.dir, n)).st_nlink == 1 for n in after))

    def check_killed(self, directory, before):
        """Checks a killed run's directory; returns how many rows its process
        log holds, and its stamp."""
        after = snapshot(directory)
        logs = [n for n in after if n.startswith("Veltrasko")]
        process = [n for n in logs if n.startswith("VeltraskoAll_")]
        log = after.pop(process[0]) if process else b""
        for name in logs:
            after.pop(name, None)

        # Every content once, and each file at one of its three names.
        self.assertEqual(sorted(after.values()), sorted(before.values()))
        stamp = stamp_of_log(process[0], "UTC") if process else 0
        renames = self.renames(stamp)
        where = {content: name for name, content in after.items()}
        for i, name in enumerate(self.order):
            self.assertIn(where[before[name]], (name, renames[i][1], target_name(i)))

        # The log is the start of the full run's log, and the renames it
        # holds are all done, with at most one more: the one in flight. Where
        # its rows were stored into a mapping, NUL bytes follow them up to the
        # full log's size and one byte more (a row the kill cut short as it
        # was stored may stand before them).
        full, _ = expected_logs(self.shots, stamp, "UTC")
        rows_part = log.rstrip(b"\0")
        self.assertEqual(rows_part, full[:len(rows_part)])
        self.assertIn(len(log), {len(rows_part), len(full) + 1})
        rows = max(log.count(b"\n") - 2, 0)
        state = dict(before)
        for old, new in renames[:rows]:
            state[new] = state.pop(old)
        if state != after and rows < len(renames):
            old, new = renames[rows]
            state[new] = state.pop(old)
        self.assertTrue(state == after, f"{rows} rows in the log, but the files are elsewhere")
        return rows, stamp


# Six older screenshots, then four with one write time: one uninterrupted run
# gives G0000006-G0000009 = shot 1, 2, 3, 4.
EQUAL_TIMES = {**{"G%07d.pcx" % (50 + k): (BASE_NS + k * 10**9, b"older %d" % k) for k in range(6)},
               **{"G%07d.pcx" % k: (BASE_NS + 10 * 10**9, b"shot %d" % k) for k in range(1, 5)}}
EQUAL_TIMES_PLACED = {**{"G%07d.pcx" % k: b"older %d" % k for k in range(6)},
                      **{"G%07d.pcx" % (5 + k): b"shot %d" % k for k in range(1, 5)}}


class EqualTimesAfterAnInterruption(ToolTest):
    """Among equal write times only the names tell the order: one more run
    after a kill or an obstacle orders the screenshots the killed run already
    placed by their names before it."""

    def setUp(self):
        super().setUp()
        for name, (ns, content) in EQUAL_TIMES.items():
            self.make(name, ns, content)

    def needs_strace(self):
        if WINDOWS or shutil.which("strace") is None:
            self.skipTest("strace kills the Linux build at a chosen system call")

    def killed_at(self, syscall, when, args=(), tz="UTC"):
        self.needs_strace()
        subprocess.run(["strace", "-qq", "-o", "/dev/null", "-e", f"inject={syscall}:signal=KILL:when={when}", BIN,
                        *args],
                       cwd=self.dir, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=tool_environment(tz), timeout=60)

    def newest_log(self, kind="All"):
        return max((n for n in os.listdir(self.dir) if n.startswith("Veltrasko" + kind)), key=lambda n: n[13:])

    def undo(self, log, **kwargs):
        return run_tool(self.dir, args=["--undo", log], **kwargs)

    def test_undoing_a_run_that_finished_a_killed_one_takes_both_back(self):
        before = shots_with_times(self.dir)
        self.killed_at("renameat2", 4)
        killed = self.newest_log()
        sleep_into_next_second()
        self.assertPlacedByOneMoreRun()
        finishing = self.newest_log()
        # The killed run is older: the run that finished it stands.
        refused = self.undo(killed)
        self.assertEqual((refused.returncode, refused.stderr), (1, messages(UNDO_LATER_RUN.format(finishing))))
        self.assertEqual(self.undo(finishing).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), before)
        self.assertFalse(any(n.startswith("_tmp_") for n in os.listdir(self.dir)))
        again = self.undo(killed)
        self.assertEqual((again.returncode, again.stderr), (1, messages(UNDO_ALREADY.format(killed))))

    def test_a_killed_undo_of_a_killed_run_finishes_when_given_again(self):
        before = shots_with_times(self.dir)
        self.killed_at("renameat2", 14)  # in the second phase
        run = self.newest_log()
        sleep_into_next_second()
        self.killed_at("renameat2", 9, args=["--undo", run])
        self.assertEqual(self.undo(run).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), before)

    def test_a_run_that_finished_a_killed_undo_stands_on_the_run_it_took_back(self):
        run_tool(self.dir)
        run = self.newest_log()
        sleep_into_next_second()
        self.killed_at("renameat2", 3, args=["--undo", run])  # in the undo's first phase
        sleep_into_next_second()
        self.assertEqual(run_tool(self.dir).returncode, 0)
        finishing = self.newest_log()
        refused = self.undo(run)
        self.assertEqual((refused.returncode, refused.stderr), (1, messages(UNDO_LATER_RUN.format(finishing))))

    def test_a_run_killed_between_its_first_rename_and_that_row_is_undone(self):
        before = shots_with_times(self.dir)
        self.kill_between_a_rename_and_its_row(",_tmp_", "_tmp_")
        undo = self.undo(self.newest_log())
        self.assertEqual(undo.returncode, 0, undo.stderr)
        self.assertEqual(shots_with_times(self.dir), before)

    def test_a_time_zone_changed_between_a_killed_run_and_the_next(self):
        self.killed_at("renameat2", 18, tz="Asia/Tokyo")
        self.assertEqual(run_tool(self.dir, tz="America/New_York").returncode, 0)
        self.assertEqual({n: c for n, c in snapshot(self.dir).items() if not n.startswith("Veltrasko")},
                         EQUAL_TIMES_PLACED)

    def assertPlacedByOneMoreRun(self):
        self.assertEqual(run_tool(self.dir).returncode, 0)
        self.assertEqual({n: c for n, c in snapshot(self.dir).items() if not n.startswith("Veltrasko")},
                         EQUAL_TIMES_PLACED)

    def test_killed_before_the_eighth_rename_of_the_second_phase(self):
        self.killed_at("renameat2", 18)
        self.assertIn("_tmp_", " ".join(os.listdir(self.dir)))
        self.assertPlacedByOneMoreRun()

    def test_killed_between_a_rename_and_its_row(self):
        self.kill_between_a_rename_and_its_row()
        self.assertPlacedByOneMoreRun()

    def test_a_run_killed_between_a_rename_and_its_row_is_undone(self):
        before = shots_with_times(self.dir)
        self.kill_between_a_rename_and_its_row()
        process = min(n for n in os.listdir(self.dir) if n.startswith("VeltraskoAll_"))
        self.assertEqual(run_tool(self.dir, args=["--undo", process]).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), before)

    def test_an_undo_killed_between_its_first_rename_and_its_row_finishes_when_given_again(self):
        # Its process log then holds no row to tell the stamp its temporary
        # name bears.
        before = shots_with_times(self.dir)
        run_tool(self.dir)
        undo = ["--undo", min(n for n in os.listdir(self.dir) if n.startswith("VeltraskoLog_"))]
        self.kill_between_a_rename_and_its_row(",_tmp_", "_tmp_", undo)
        self.assertEqual(run_tool(self.dir, args=undo).returncode, 0)
        self.assertEqual(shots_with_times(self.dir), before)

    def kill_between_a_rename_and_its_row(self, row_text="_G0000002.pcx,G0000007.pcx,", moved="G0000007.pcx", args=()):
        # By default right after the eighth rename of the second phase, before
        # either log has its row. The renames up to the first whose row in the
        # process log holds `row_text` are counted in a run over a copy; after
        # the kill a name holding `moved` stands.
        copy = os.path.join(self.dir, "copy")
        shutil.copytree(self.dir, copy, copy_function=shutil.copy2)
        run_tool(copy, args=args)
        process = max(n for n in os.listdir(copy) if n.startswith("VeltraskoAll_"))
        with open(os.path.join(copy, process), "rb") as log:
            rows = log.read().split(EOL)[2:]
        shutil.rmtree(copy)
        rename = next(i for i, row in enumerate(rows) if row_text.encode() in row) + 1
        self.assertEqual(run_tool(self.dir, seams={"DIE_AFTER_RENAME": rename}, args=args).returncode, 137)
        self.assertIn(moved, " ".join(os.listdir(self.dir)))

    def test_the_run_after_a_kill_cuts_the_nul_bytes_off_its_logs(self):
        if NO_MAPPING:
            self.skipTest("the logs are written a row at a time: no NUL bytes follow their rows")
        # A whole run over a copy gives the size of a whole process log.
        copy = os.path.join(self.dir, "copy")
        shutil.copytree(self.dir, copy, copy_function=shutil.copy2)
        whole = os.path.getsize(os.path.join(copy, run_tool(copy).logs()[0]))
        shutil.rmtree(copy)
        # Killed right after its third rename: two rows, then NULs up to the
        # whole log's size and one more; the result log holds its head, then
        # NULs.
        killed = run_tool(self.dir, seams={"DIE_AFTER_RENAME": 3})
        self.assertEqual(killed.returncode, 137)
        logs = {name: killed.read(name) for name in killed.logs()}
        written = {name: os.stat(os.path.join(self.dir, name)).st_mtime_ns for name in logs}
        self.assertEqual(len(logs[killed.logs()[0]]), whole + 1)
        self.assertEqual(sorted(len(log.rstrip(b"\0").split(EOL)) for log in logs.values()), [3, 5])
        self.assertTrue(all(b"\0" not in log.rstrip(b"\0") and log.endswith(b"\0") for log in logs.values()))
        # Logs of a command killed before it stored its head: nothing but NULs.
        # (A second before the killed run, so that the run reads them.)
        second = datetime.datetime.strptime(killed.logs()[0][-18:-4], "%Y%m%d%H%M%S") - datetime.timedelta(seconds=1)
        unstarted = {prefix + second.strftime("%Y%m%d%H%M%S") + ".csv": b"\0" * 4096
                     for prefix in ("VeltraskoAll_", "VeltraskoLog_")}
        for name, content in unstarted.items():
            make_file(self.dir, name, BASE_NS, content)
        # A preview reads them, and changes nothing.
        run_tool(self.dir, args=["-n"])
        self.assertEqual({name: killed.read(name) for name in logs}, logs)
        sleep_into_next_second()
        self.assertPlacedByOneMoreRun()
        self.assertEqual([name for name in unstarted if os.path.exists(os.path.join(self.dir, name))], [])
        for name, log in logs.items():
            self.assertEqual(killed.read(name), log.rstrip(b"\0"))
            # The time it was last written stays (to the 100 ns Windows keeps).
            self.assertEqual(os.stat(os.path.join(self.dir, name)).st_mtime_ns // 100, written[name] // 100)

    def test_a_folder_without_temporary_names_reads_no_log(self):
        self.needs_strace()
        run_tool(self.dir)  # leaves its logs
        self.make("G0000000.pcx", BASE_NS + 20 * 10**9, b"newest")  # and out of order again
        traced = subprocess.run(["strace", "-qq", "-e", "trace=openat", BIN], cwd=self.dir, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=tool_environment(), timeout=60)
        opened = [line for line in traced.stderr.decode(errors="replace").splitlines()
                  if line.startswith("openat") and "Veltrasko" in line]
        self.assertEqual([line for line in opened if "O_RDONLY" in line], [])
        self.assertEqual(len(opened), 2)  # the new run's own two logs

    def test_a_folder_at_a_target_then_removed(self):
        os.mkdir(os.path.join(self.dir, "G0000007.pcx"))
        run_tool(self.dir)
        os.rmdir(os.path.join(self.dir, "G0000007.pcx"))
        self.assertPlacedByOneMoreRun()
        self.assertEqual(run_tool(self.dir).stderr, messages(IN_ORDER + "\n"))


if __name__ == "__main__":
    unittest.main()
