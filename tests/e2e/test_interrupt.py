"""Runs over 2,000 screenshots killed with SIGKILL at random instants: whatever
the instant, every file is still there exactly once, at its old, temporary or
target name, and the process log tells every rename that happened but the one
in flight. A run started again afterwards loses nothing either.

SHOTRENUM_KILLS sets how many runs are killed (a few by default),
SHOTRENUM_KILL_SEED the seed of the files' order and the kill instants."""

import os
import random
import subprocess
import sys
import tempfile
import time
import unittest

from tool import (BIN, RUNNER, WINDOWS, ToolTest, capture_order, expected_logs, make_file, snapshot, stamp_of_log,
                  target_name)

SHOTS = 2000
# Under Wine a whole run takes seconds, so it gets fewer by default.
KILLS = int(os.environ.get("SHOTRENUM_KILLS", "2" if WINDOWS else "12"))
SEED = int(os.environ.get("SHOTRENUM_KILL_SEED", "1208"))
BASE_NS = 1577836800 * 10**9


def start(directory):
    env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "SHOTRENUM_SEAM_"))}
    env.update({"TZ": "UTC", "LANG": "C", "LC_ALL": "C"})
    return subprocess.Popen(RUNNER + [BIN], cwd=directory, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=env)


class KilledRuns(ToolTest):
    def setUp(self):
        super().setUp()
        rng = random.Random(SEED)
        numbers = list(range(SHOTS))
        rng.shuffle(numbers)
        # Capture order is a random permutation of the numbers: every file moves.
        self.shots = {"G%07d.pcx" % number: BASE_NS + k * 10**9 for k, number in enumerate(numbers)}
        self.order = capture_order(self.shots)
        self.rng = rng

    def fill(self):
        directory = tempfile.mkdtemp(dir=self.dir)
        for name, ns in self.shots.items():
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
        for kill in range(KILLS):
            self.restore(directory, before)
            # One kill in each of KILLS equal slices of the measured run.
            delay = length * (kill + self.rng.random()) / KILLS
            tool = start(directory)
            time.sleep(delay)
            tool.kill()
            if tool.wait() == 0:
                landed["finished"] += 1
            with self.subTest(kill=kill, delay=delay, seed=SEED):
                rows = self.check_killed(directory, before)
                landed["before the first row" if rows == 0 else "phase 1" if rows <= SHOTS else
                       "phase 2" if rows < 2 * SHOTS else "after the last row"] += 1
                # Starting the tool again over what the killed run left
                # loses nothing either.
                self.assertEqual(start(directory).wait(), 0)
                self.assertEqual(sorted(v for n, v in snapshot(directory).items() if not n.startswith("Veltrasko")),
                                 sorted(before.values()))
        print(f"\n{KILLS - landed['finished']} of {KILLS} kills hit a running tool (a whole run takes "
              f"{length * 1000:.0f} ms); rows in the process log when killed: {landed}", file=sys.stderr)

    def check_killed(self, directory, before):
        """Checks a killed run's directory; returns how many rows its process
        log holds."""
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
        # holds are all done, with at most one more: the one in flight.
        full, _ = expected_logs(self.shots, stamp, "UTC")
        self.assertEqual(log, full[:len(log)])
        rows = max(log.count(b"\n") - 2, 0)
        state = dict(before)
        for old, new in renames[:rows]:
            state[new] = state.pop(old)
        if state != after and rows < len(renames):
            old, new = renames[rows]
            state[new] = state.pop(old)
        self.assertTrue(state == after, f"{rows} rows in the log, but the files are elsewhere")
        return rows


if __name__ == "__main__":
    unittest.main()
