"""Random small directory states with random failed renames, checked against a
model of the two phases: the final directory, both logs and the messages must
be exactly what the model gives, and no content is lost or duplicated. Each
state holds screenshots an earlier run left at temporary names (several
stamps, the current second among them, none with logs), obstacles, and groups
of equal write times; one or two runs with failed renames are followed by one
without, each over what the one before left, and each must be what the model
gives. From the second run on, the logs of the runs before tell the names that
order the screenshots they moved: the model carries each file's ordering name
with it through its renames.

SHOTRENUM_MODEL_STATES sets how many states are tried (a few hundred by
default), SHOTRENUM_MODEL_SEED the seed they are drawn from."""

import os
import random
import re
import shutil
import tempfile
import time
import unittest

from tool import (EOL, FAILED_DENIED, FAILED_NO_SPACE, FAILED_OTHER, FAILED_TAKEN, HELD_FILES, IN_ORDER, NOT_FOUND, WINDOWS, ToolTest, capture_order, expected_logs, is_set_member, make_file,
                  logged_summary, messages, progress_messages, read_temp_name, renumbers, run_tool, stamp_of_log, standard_output,
                  target_name, temp_name)

SEED = int(os.environ.get("SHOTRENUM_MODEL_SEED", "1208"))
STATES = int(os.environ.get("SHOTRENUM_MODEL_STATES", "40" if WINDOWS else "300"))
DIRECTORY = ("dir",)


def folded(name):
    """A name as the file system tells names apart: Windows ignores case."""
    return name.lower() if WINDOWS else name


def listing(directory):
    """{name: ("dir",) or ("file", content)} of every entry, and the write
    times of the files that take part in a run."""
    entries, times = {}, {}
    for name in os.listdir(directory):
        path = os.path.join(directory, name)
        if os.path.isdir(path):
            entries[name] = DIRECTORY
            continue
        with open(path, "rb") as f:
            entries[name] = ("file", f.read())
        if is_set_member(name):
            times[name] = os.stat(path).st_mtime_ns
    return entries, times


def stamps_borne(entries):
    """The run stamps that temporary names present bear, a folder's too."""
    return {int(m.group(1)) for m in (re.fullmatch(r"_tmp_(0|[1-9][0-9]*)_.*[Gg].{7}\.[Pp][Cc][Xx]", name)
                                      for name in entries) if m}


class Model:
    """The run as the rules give it, over a listing."""

    def __init__(self, entries, times, stamp, failing=lambda call: False, fallback=False, order_names=None):
        self.entries = dict(entries)
        self.calls = 0
        self.failing = failing
        self.fallback = fallback
        self.shots = times
        self.order_names = {name: (order_names or {}).get(name, (read_temp_name(name) or (0, name))[1])
                            for name in times}
        self.order = capture_order(times, self.order_names)
        self.verdicts = {}
        if not renumbers(self.order):
            return
        temps = [name if read_temp_name(name) else temp_name(stamp, name) for name in self.order]
        for i, name in enumerate(self.order):
            if temps[i] != name and not self.rename(name, temps[i]):
                self.verdicts[(1, i)] = False
        # A file moves only on behalf of its own record: where that record's
        # first rename failed, whatever bears its temporary name stays.
        for i, name in enumerate(self.order):
            if (1, i) in self.verdicts or not self.rename(temps[i], target_name(i)):
                self.verdicts[(2, i)] = False

    def rename(self, before, after):
        self.calls += 1
        if self.failing(self.calls) or before not in self.entries or folded(after) in map(folded, self.entries):
            return False
        if self.fallback and self.entries[before] == DIRECTORY:
            return False  # a directory cannot be linked
        self.entries[after] = self.entries.pop(before)
        if before in self.order_names:
            self.order_names[after] = self.order_names.pop(before)
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
    """Fills `directory`: screenshots, some at the temporary names of earlier
    runs with the given stamps, decoys and obstacles."""
    base = 1577836800 * 10**9
    pool = [base + rng.randrange(3) * 10**9 + rng.randrange(3) * 40 for _ in range(3)]
    names = set()

    def free(name):
        return folded(name) not in names

    for k in range(rng.randrange(0, 8)):
        number = rng.randrange(10) if rng.random() < 0.8 else rng.randrange(10**7)
        name = rng.choice("Gg") + "%07d." % number + "".join(rng.choice((c, c.upper())) for c in "pcx")
        if rng.random() < 0.3:  # stranded by an earlier run
            name = temp_name(rng.choice(stamps), name)
        if free(name):
            names.add(folded(name))
            make_file(directory, name, rng.choice(pool), b"shot %d" % k)
    decoys = ["G00000x1.pcx", "G000001.pcx", "notes.txt", "G0000001.pcx.bak", temp_name(stamps[0], "G00000x1.pcx"),
              "_tmp_01_G0000001.pcx", "_TMP_5_G0000002.pcx"]
    for name in rng.sample(decoys, rng.randrange(len(decoys) + 1)):
        if free(name):
            make_file(directory, name, rng.choice(pool))
    obstacles = [target_name(rng.randrange(8)), temp_name(rng.choice(stamps), "G%07d.pcx" % rng.randrange(10))]
    for name in obstacles:
        if rng.random() < 0.3 and free(name):
            os.mkdir(os.path.join(directory, name))


class ModelledRuns(ToolTest):
    def test_random_states_with_failed_renames_and_a_second_run(self):
        for state in range(STATES):
            rng = random.Random(f"{SEED}:{state}")
            directory = tempfile.mkdtemp(dir=self.dir)
            with self.subTest(seed=SEED, state=state):
                self.one_state(rng, directory)
            shutil.rmtree(directory)

    def one_state(self, rng, directory):
        # Stamps of runs long past, of the second before and of this one: a
        # run must take a second that none of them bears. The clock does not
        # really move on to the second a run takes in their stead, so a
        # second run right after could take this second, once free, and seem
        # the older of the two: with two runs before the last, all of them
        # are a little older.
        rounds = rng.choice((1, 1, 2))
        now = int(time.time()) - (0 if rounds == 1 else 2)
        random_state(rng, directory, (now - 1, now, 1700000000, 0))
        note = f"seed {SEED} state"
        order_names = {}
        for round in range(rounds):
            entries, times = listing(directory)
            seam, failing = failure_rule(rng, 2 * len(times))
            # Windows never falls back. Without no-replace renames, the link
            # fallback; without links too (FAT), the reservation fallback.
            fallback = rng.random() < 0.3 and not WINDOWS
            reserve = fallback and rng.random() < 0.5
            seams = {k: v for k, v in (("RENAME_FAIL", seam), ("NO_NOREPLACE", "1+" if fallback else None),
                                       ("NO_LINK", "1+" if reserve else None)) if v}
            note += f" run {round + 1}: {sorted(entries)} seams {seams}"
            order_names = self.check_run(directory, entries, times, seams, failing, fallback, note, order_names)
        # Once more, without faults, over what the runs before left.
        entries, times = listing(directory)
        self.check_run(directory, entries, times, {}, lambda call: False, False, note + " (last run)", order_names)

    def check_run(self, directory, entries, times, seams, failing, fallback, note, order_names):
        """Runs the tool once and checks it against the model; returns the
        ordering names the model carried through the run's renames."""
        # The clock jumps when the run waits for a free second: hundreds of
        # runs would otherwise wait a second or two each.
        run = run_tool(directory, seams={**seams, "CLOCK_SKIPS": "1+"})
        after, _ = listing(directory)
        self.assertEqual(run.stdout, standard_output(), note)
        new_logs = sorted(n for n in set(after) - set(entries) if n.startswith("Veltrasko"))
        stamp = stamp_of_log(new_logs[0], "UTC") if new_logs else None
        # A folder without temporary names reads no log: the names order.
        if not any(map(read_temp_name, times)):
            order_names = {}
        model = Model(entries, times, stamp, failing, fallback, order_names)
        if not renumbers(model.order):
            self.assertEqual(after, entries, note)
            self.assertEqual(run.stderr, messages((IN_ORDER if model.order else NOT_FOUND) + "\n"), note)
            self.assertEqual(run.returncode, 0, note)
            return order_names

        self.assertNotIn(stamp, stamps_borne(entries), note)
        process, result = new_logs
        logs = {process: after.pop(process), result: after.pop(result)}
        # Nothing lost or duplicated, whatever the model says.
        self.assertEqual(sorted(after.values()), sorted(entries.values()), note)
        self.assertEqual(after, model.entries, note)
        want_process, want_result = expected_logs(model.shots, stamp, "UTC", model.verdicts, order_names)
        self.assertEqual(logs[process], ("file", want_process), note)
        self.assertEqual(logs[result], ("file", want_result), note)
        failed = bool(model.verdicts)
        self.assertEqual(run.returncode, 1 if failed else 0, note)
        # The summary: what the result log tells, then why the others failed,
        # one line per cause, their counts adding up to the files not moved.
        told = messages(*progress_messages(len(model.order), process if failed else None),
                        logged_summary(want_result, result))
        self.assertEqual(run.stderr[:len(told)], told, note)
        causes = run.stderr[len(told):].decode("cp932" if WINDOWS else "utf-8").splitlines()
        templates = [FAILED_DENIED, FAILED_NO_SPACE, FAILED_TAKEN, FAILED_OTHER, HELD_FILES]
        counts = []
        for line in causes:
            matched = [t for t in templates if line.endswith(t.format("").rstrip("\n"))]
            self.assertEqual(len(matched), 1, (note, line))
            counts.append(int(line.split("件")[0]))
        rows = [row for row in want_result.split(EOL)[2:] if row]
        self.assertEqual(sum(counts), sum(1 for row in rows if row.startswith(b"NG,")), note)
        return model.order_names


if __name__ == "__main__":
    unittest.main()
