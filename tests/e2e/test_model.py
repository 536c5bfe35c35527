"""Random small directory states with random failed renames, checked against a
model of the two phases: the final directory, both logs and the messages must
be exactly what the model gives, and no content is lost or duplicated.

SHOTRENUM_MODEL_STATES sets how many states are tried (a few hundred by
default), SHOTRENUM_MODEL_SEED the seed they are drawn from."""

import os
import random
import shutil
import tempfile
import time
import unittest

from tool import (IN_ORDER, NOT_FOUND, WINDOWS, ToolTest, capture_order, expected_logs, is_shot_name, make_file,
                  messages, progress_messages, run_tool, stamp_of_log, standard_output, target_name)

SEED = int(os.environ.get("SHOTRENUM_MODEL_SEED", "1208"))
STATES = int(os.environ.get("SHOTRENUM_MODEL_STATES", "40" if WINDOWS else "300"))
DIRECTORY = ("dir",)


def folded(name):
    """A name as the file system tells names apart: Windows ignores case."""
    return name.lower() if WINDOWS else name


def temp_name(stamp, name):
    return f"_tmp_{stamp}_{name}"


def listing(directory):
    """{name: ("dir",) or ("file", content)} of every entry."""
    result = {}
    for name in os.listdir(directory):
        path = os.path.join(directory, name)
        if os.path.isdir(path):
            result[name] = DIRECTORY
        else:
            with open(path, "rb") as f:
                result[name] = ("file", f.read())
    return result


class Model:
    """The run as the rules give it, over a listing."""

    def __init__(self, entries, times, stamp, failing, fallback):
        self.entries = dict(entries)
        self.calls = 0
        self.failing = failing
        self.fallback = fallback
        self.shots = {n: times[n] for n, e in entries.items() if is_shot_name(n) and e != DIRECTORY}
        self.order = capture_order(self.shots)
        self.verdicts = {}
        if self.renames():
            for phase in (1, 2):
                for i, name in enumerate(self.order):
                    before, after = ((name, temp_name(stamp, name)) if phase == 1 else
                                     (temp_name(stamp, name), target_name(i)))
                    if not self.rename(before, after):
                        self.verdicts[(phase, i)] = False

    def renames(self):
        return bool(self.order) and self.order != [target_name(i) for i in range(len(self.order))]

    def rename(self, before, after):
        self.calls += 1
        if self.failing(self.calls) or before not in self.entries or folded(after) in map(folded, self.entries):
            return False
        if self.fallback and self.entries[before] == DIRECTORY:
            return False  # a directory cannot be linked
        self.entries[after] = self.entries.pop(before)
        return True


def failure_rule(rng, renames):
    """A random SHOTRENUM_SEAM_RENAME_FAIL value and the calls it fails."""
    kind = rng.random()
    if kind < 0.35 or renames == 0:
        return None, lambda call: False
    if kind < 0.45:
        start = rng.randrange(1, renames + 1)
        return f"{start}+", lambda call: call >= start
    calls = sorted(rng.sample(range(1, renames + 1), rng.randrange(1, min(renames, 4) + 1)))
    return ",".join(map(str, calls)), lambda call: call in calls


def random_state(rng, directory, stamps):
    """Fills `directory`; returns its screenshot times."""
    base = 1577836800 * 10**9
    pool = [base + rng.randrange(3) * 10**9 + rng.randrange(3) * 40 for _ in range(3)]
    times = {}
    for k in range(rng.randrange(0, 8)):
        number = rng.randrange(10) if rng.random() < 0.8 else rng.randrange(10**7)
        name = rng.choice("Gg") + "%07d." % number + "".join(rng.choice((c, c.upper())) for c in "pcx")
        if folded(name) in map(folded, times):
            continue
        times[name] = rng.choice(pool)
        make_file(directory, name, times[name], b"shot %d" % k)
    decoys = ["G00000x1.pcx", "G000001.pcx", "notes.txt", "G0000001.pcx.bak"]
    for name in rng.sample(decoys, rng.randrange(len(decoys) + 1)):
        make_file(directory, name, rng.choice(pool))
    if rng.random() < 0.3:  # a directory where a target or a screenshot could be
        name = target_name(rng.randrange(8))
        if folded(name) not in map(folded, times):
            os.mkdir(os.path.join(directory, name))
    if times and rng.random() < 0.4:  # something already at a temporary name
        name = rng.choice(sorted(times))
        for stamp in stamps:
            if rng.random() < 0.3:
                os.mkdir(os.path.join(directory, temp_name(stamp, name)))
            else:
                make_file(directory, temp_name(stamp, name), 0, b"stranger at " + name.encode())
    return times


class ModelledRuns(ToolTest):
    def test_random_states_with_failed_renames(self):
        for state in range(STATES):
            rng = random.Random(f"{SEED}:{state}")
            directory = tempfile.mkdtemp(dir=self.dir)
            with self.subTest(seed=SEED, state=state):
                self.one_state(rng, directory)
            shutil.rmtree(directory)

    def one_state(self, rng, directory):
        # The run stamp is the start second, known only afterwards: entries at
        # temporary names are made for this second and the next, and the model
        # takes the stamp from the log name.
        now = int(time.time())
        times = random_state(rng, directory, (now, now + 1))
        before = listing(directory)
        seam, failing = failure_rule(rng, 2 * len(times))
        fallback = rng.random() < 0.2 and not WINDOWS  # Windows never falls back
        seams = {k: v for k, v in (("RENAME_FAIL", seam), ("NO_NOREPLACE", "1+" if fallback else None)) if v}
        run = run_tool(directory, seams=seams, seamed=True)
        after = listing(directory)
        note = f"seed {SEED} state: {sorted(before)} seams {seams}"

        process, result = run.logs()
        stamp = stamp_of_log(process, "UTC") if process else now
        model = Model(before, times, stamp, failing, fallback)
        self.assertEqual((run.returncode, run.stdout), (0, standard_output()), note)
        if not model.renames():
            self.assertEqual(after, before, note)
            self.assertEqual(run.stderr, messages((IN_ORDER if model.order else NOT_FOUND) + "\n"), note)
            return

        # Nothing lost or duplicated, whatever the model says.
        logs = {process: after.pop(process), result: after.pop(result)}
        self.assertEqual(sorted(after.values()), sorted(before.values()), note)
        self.assertEqual(after, model.entries, note)
        want_process, want_result = expected_logs(model.shots, stamp, "UTC", model.verdicts)
        self.assertEqual(logs[process], ("file", want_process), note)
        self.assertEqual(logs[result], ("file", want_result), note)
        failed = bool(model.verdicts)
        self.assertEqual(run.stderr, messages(*progress_messages(len(model.order), process if failed else None)),
                         note)


if __name__ == "__main__":
    unittest.main()
