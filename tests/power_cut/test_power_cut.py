"""Power cuts at random instants of runs and undos over 10,000 screenshots, on
a real file system, as a cut leaves it: only what reached the disk.

The folder lies in an ext4 (mounted with commit=1, so that its journal commits
every second and a cut finds many states) on a loop device whose backing file
lies on btrfs, itself a loop image. A cut is `cp --reflink=always` of that
backing file while the tool works. The copy is the device as it stood at one
instant: a reflink clone (FICLONE) takes the source file's inode lock, writes
back its dirty pages and waits for them, then shares its extents, all before
letting the next write in, so every write the loop device passed down before
the clone is in the copy, and every later one is not. Dirty pages that ext4
itself still holds in its page cache never went down to the loop device: they
are lost, as in a power cut. The test never syncs the ext4 between the start
of a command and its cut (that would hide what a cut does); the start of each
round is an image of a cleanly unmounted file system, so the start itself is
on the disk.

The copy is attached to a loop device of its own and mounted (ext4 replays
its journal), and on it:
- a cut run: every file is there once, with its content and write time; one
  more run places every file as one uninterrupted run would; then undoing the
  runs newest first until none stands gives the start exactly (names,
  contents, write times);
- a cut undo (of a run that finished and reached the disk): nothing lost; then
  either the same undo given again, or one more run and the undos newest
  first, gives the start exactly;
- a cut at a moment after a run exited 0: the folder is in its done state with
  both logs whole, and its undo gives the start.
Each round prints one line: where the cut fell, how many files stood at their
old, temporary and target names, and what the logs held (rows, NUL bytes).

Needs root, /dev/loop-control, ext4 and btrfs, mkfs.ext4 and mkfs.btrfs;
skips with a line saying which is missing. SHOTRENUM_CUTS sets the rounds of
each kind (4 by default), SHOTRENUM_CUT_SEED the seed of the times and the
instants, SHOTRENUM_CUT_SHOTS the number of screenshots.
"""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from tool import (BIN, SANITIZED, WINDOWS, capture_order, expected_logs, log_names,  # noqa: E402
                  read_temp_name, run_tool, stamp_of_log, target_name, tool_environment)

# A journal commit comes every second: the more a phase outlasts one, the more
# cuts find it half on the disk (SHOTRENUM_CUT_SHOTS=30000 makes each phase
# longer than a second here).
SHOTS = int(os.environ.get("SHOTRENUM_CUT_SHOTS", "10000"))
CUTS = int(os.environ.get("SHOTRENUM_CUTS", "4"))
SEED = int(os.environ.get("SHOTRENUM_CUT_SEED", "2512"))
# Rounds stop being started past this many seconds unless SHOTRENUM_CUTS asks
# for more (the default bounds the whole test to about two minutes).
BUDGET = float("inf") if "SHOTRENUM_CUTS" in os.environ else 110.0
BASE_NS = 1577836800 * 10**9
# The longest a cut after an exit waits: ext4 commits its metadata every
# second (commit=1), while the data pages it holds wait for the flusher (30 s).
AFTER_EXIT = 5.0


def missing_for_the_test():
    """Why loop devices and the two file systems cannot be had here, or None."""
    if WINDOWS or SANITIZED:
        return "runs only with the native release build"
    if not BIN:
        return "SHOTRENUM_BIN is not set"
    if os.geteuid() != 0:
        return "loop devices and mounts need root"
    if not os.path.exists("/dev/loop-control"):
        return "no /dev/loop-control: this machine has no loop devices"
    for tool in ("losetup", "mount", "umount", "mkfs.ext4", "mkfs.btrfs"):
        if shutil.which(tool) is None:
            return f"no {tool} (packages util-linux, e2fsprogs, btrfs-progs)"
    for fs in ("ext4", "btrfs"):
        if not has_file_system(fs):
            return f"the kernel offers no {fs} (/proc/filesystems)"
    return None


def has_file_system(fs):
    def listed():
        with open("/proc/filesystems") as f:
            return any(line.split()[-1] == fs for line in f if line.strip())
    if not listed():
        subprocess.run(["modprobe", fs], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return listed()


def sh(*command):
    done = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise RuntimeError(f"{' '.join(command)}: {done.stderr.strip()}")
    return done.stdout.strip()


class Mounts:
    """The loop devices and mounts the test made, each undone once; whatever
    is left at the end is unmounted lazily and detached."""

    def __init__(self):
        self.held = []  # ("mount", path) or ("loop", device), in the order made

    def attach(self, image):
        device = sh("losetup", "--find", "--show", image)
        self.held.append(("loop", device))
        return device

    def mount(self, image, where, options=()):
        """Attaches an ext4 or btrfs image and mounts it at `where`; returns
        what unmount() takes."""
        device = self.attach(image)
        os.makedirs(where, exist_ok=True)
        sh("mount", *(["-o", ",".join(options)] if options else []), device, where)
        self.held.append(("mount", where))
        return device, where

    def unmount(self, mounted):
        device, where = mounted
        sh("umount", where)
        self.held.remove(("mount", where))
        sh("losetup", "--detach", device)
        self.held.remove(("loop", device))

    def release_all(self):
        for kind, what in reversed(self.held):
            command = ["umount", "-l", what] if kind == "mount" else ["losetup", "--detach", what]
            subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.held = []


def reflink(source, copy):
    sh("cp", "--reflink=always", source, copy)


def start(directory, args=()):
    return subprocess.Popen([BIN, *args], cwd=directory, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, env=tool_environment())


def identities(folder):
    """{name: (inode, write time)} of every file but the logs: a rename keeps
    both, so they tell each screenshot by a stat alone."""
    with os.scandir(folder) as entries:
        return {e.name: (e.inode(), e.stat(follow_symlinks=False).st_mtime_ns) for e in entries
                if not e.name.startswith("Veltrasko")}


def contents(folder):
    """{name: (content, write time)} of every file but the logs. The reads go
    out together: one at a time, each waits its turn through two loop devices."""
    def read(name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read(), os.fstat(f.fileno()).st_mtime_ns
    names = [n for n in os.listdir(folder) if not n.startswith("Veltrasko")]
    with ThreadPoolExecutor(32) as pool:
        return dict(zip(names, pool.map(read, names)))


def log_state(content):
    """What a log holds, in a few words: its rows, and its NUL bytes (those
    among the rows, before the last byte that is not NUL, are holes)."""
    if not content:
        return "empty"
    body = content.rstrip(b"\0")
    rows = max(body.count(b"\n") - 2, 0) if body else 0
    holes = body.count(b"\0")
    tail = len(content) - len(body)
    if not body:
        return f"{len(content)} NUL bytes only"
    return f"{rows} rows" + (f", {holes} NULs among them" if holes else "") + (f", {tail} NULs after" if tail else "")


class PowerCuts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        why = missing_for_the_test()
        if why:
            raise unittest.SkipTest(f"power cuts on loop devices skipped: {why}")
        cls.began = time.monotonic()
        cls.rng = random.Random(SEED)
        # The btrfs image lies in memory where it can: only the ext4 above
        # it is ever cut, and a flush of the ext4 then costs no disk flush.
        cls.base = tempfile.mkdtemp(prefix="shotrenum-cut-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
        cls.mounts = Mounts()
        try:
            cls.make_images()
        except unittest.SkipTest:
            cls.tearDownClass()
            raise
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.mounts.release_all()
        shutil.rmtree(cls.base, ignore_errors=True)

    @classmethod
    def make_images(cls):
        """The btrfs that holds the images; in it an ext4 image holding the
        screenshots (the start), and one holding them after a whole run."""
        btrfs_image = os.path.join(cls.base, "btrfs.img")
        with open(btrfs_image, "wb") as f:
            f.truncate(2 << 30)
        try:
            device = cls.mounts.attach(btrfs_image)
        except RuntimeError as error:
            raise unittest.SkipTest(f"power cuts on loop devices skipped: no loop device to be had ({error})")
        sh("mkfs.btrfs", "-q", device)
        cls.store = os.path.join(cls.base, "btrfs")
        os.makedirs(cls.store)
        sh("mount", device, cls.store)
        cls.mounts.held.append(("mount", cls.store))

        # 256-byte inodes keep write times to the nanosecond; no lazy
        # initialisation writing in the background.
        cls.start_image = cls.image("start")
        with open(cls.start_image, "wb") as f:
            f.truncate((512 << 20) + SHOTS * 8192)
        sh("mkfs.ext4", "-q", "-F", "-I", "256", "-N", str(max(65536, 2 * SHOTS)), "-E", "lazy_itable_init=0,lazy_journal_init=0",
           cls.start_image)
        mounted = cls.mounts.mount(cls.start_image, cls.place("make"))
        folder = os.path.join(mounted[1], "shots")
        os.mkdir(folder)
        # Distinct shuffled times, so that nearly every file moves.
        numbers = list(range(SHOTS))
        cls.rng.shuffle(numbers)
        for k, number in enumerate(numbers):
            path = os.path.join(folder, "G%07d.pcx" % number)
            with open(path, "wb") as f:
                f.write(b"shot %d" % number)
            ns = BASE_NS + k * 1_013_000_000 + cls.rng.randrange(10**9)
            os.utime(path, ns=(ns, ns))
        cls.start = contents(folder)
        cls.start_ids = identities(folder)  # the copies keep the inode numbers
        cls.order = capture_order({name: ns for name, (_, ns) in cls.start.items()})
        cls.placed = {target_name(i): cls.start_ids[name] for i, name in enumerate(cls.order)}
        cls.mounts.unmount(mounted)

        # The same after one whole run, which reached the disk (a clean
        # unmount): the start of the rounds that cut an undo.
        cls.ran_image = cls.image("ran")
        reflink(cls.start_image, cls.ran_image)
        mounted = cls.mounts.mount(cls.ran_image, cls.place("make"))
        folder = os.path.join(mounted[1], "shots")
        began = time.monotonic()
        run = run_tool(folder)
        cls.run_length = time.monotonic() - began
        assert run.returncode == 0, run.stderr.decode(errors="replace")
        cls.ran_logs = log_names(folder)
        cls.ran_process_log = next(n for n in cls.ran_logs if n.startswith("VeltraskoAll_"))
        # And how long its undo takes, on a copy.
        copy = cls.image("measure")
        cls.mounts.unmount(mounted)
        reflink(cls.ran_image, copy)
        mounted = cls.mounts.mount(copy, cls.place("make"))
        began = time.monotonic()
        undo = run_tool(os.path.join(mounted[1], "shots"), args=["--undo", cls.ran_process_log])
        cls.undo_length = time.monotonic() - began
        assert undo.returncode == 0, undo.stderr.decode(errors="replace")
        cls.mounts.unmount(mounted)
        os.remove(copy)

    @classmethod
    def image(cls, name):
        return os.path.join(cls.store, name + ".img")

    @classmethod
    def place(cls, name):
        return os.path.join(cls.base, name)

    # ---- one round --------------------------------------------------------

    def cut_while(self, start_image, act):
        """Mounts a fresh copy of `start_image` with commit=1 and calls
        act(folder, cut), where cut() copies the device at that instant (and
        may be called once). Returns the copy's image."""
        work, copy = self.image("work"), self.image("cut")
        reflink(start_image, work)
        mounted = self.mounts.mount(work, self.place("work"), ["commit=1"])
        try:
            act(os.path.join(mounted[1], "shots"), lambda: reflink(work, copy))
        finally:
            self.mounts.unmount(mounted)
            os.remove(work)
        return copy

    def on_copy(self, copy, check):
        """Mounts the cut copy (its journal replays) and calls check(folder)."""
        mounted = self.mounts.mount(copy, self.place("cut"))
        try:
            check(os.path.join(mounted[1], "shots"))
        finally:
            self.mounts.unmount(mounted)
            os.remove(copy)

    def cut_command(self, start_image, args, delay):
        """Starts the tool, cuts `delay` seconds later, kills it."""
        def act(folder, cut):
            tool = start(folder, args)
            time.sleep(delay)
            cut()
            tool.kill()
            tool.wait()
        return self.cut_while(start_image, act)

    def describe(self, folder, new_logs):
        """Where the files stand and what the new logs hold."""
        files = identities(folder)
        old = sum(self.start_ids.get(name) == entry for name, entry in files.items())
        temporary = sum(read_temp_name(name) is not None for name in files)
        placed = sum(self.placed.get(name) == entry for name, entry in files.items())
        logs = "; ".join(f"{name[9:12]} {log_state(self.read(folder, name))}" for name in new_logs) or "no logs"
        return f"{old} old, {temporary} temporary, {placed} placed; {logs}"

    @staticmethod
    def read(folder, name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    def assertNothingLost(self, folder):
        files = identities(folder)
        self.assertEqual(sorted(files.values()), sorted(self.start_ids.values()),
                         f"{len(files)} files stand; not every screenshot once, with its time")

    def assertPlaced(self, folder, what):
        files = identities(folder)
        wrong = sorted(n for n in set(files) | set(self.placed) if files.get(n) != self.placed.get(n))
        self.assertEqual(wrong[:5], [], f"{what}: {len(wrong)} names hold what one uninterrupted run would not put there")

    def undo_runs(self, folder, commands):
        """Undoes the runs of `commands` ([process log, whether a run], oldest
        first) newest first until none stands. Returns what each undo
        answered, and what was wrong with the answers: an undo that did
        something (left logs) must say it is done (exit 0), one refused must
        exit 1."""
        answers, wrong = [], []
        for _ in range(8):
            for log, is_run in reversed(commands):
                if not is_run:
                    continue
                before = set(log_names(folder))
                undo = run_tool(folder, args=["--undo", log])
                made = sorted(n for n in set(log_names(folder)) - before if n.startswith("VeltraskoAll_"))
                said = (undo.stderr.decode(errors="replace").strip().splitlines() or [""])[-1]
                answers.append(f"undo {log[13:27]}: exit {undo.returncode}, {'logs' if made else 'no logs'}, {said}")
                if undo.returncode != (0 if made else 1):
                    wrong.append(answers[-1])
                if made:
                    commands.append((made[0], False))
                    break
            else:
                return answers, wrong
        return answers, wrong + ["undos go on and on"]

    def assertUndoneToStart(self, folder, commands):
        """The undos newest first leave the start, each answering as it should."""
        answers, wrong = self.undo_runs(folder, commands)
        files = contents(folder)
        differ = sum(files.get(n) != self.start.get(n) for n in set(files) | set(self.start))
        if differ:
            wrong.insert(0, f"{differ} names differ from the start after the undos")
        if wrong:
            self.fail(" | ".join(wrong) + "; the undos: " + " | ".join(answers))

    def one_more_run(self, folder, commands):
        before = set(log_names(folder))
        run = run_tool(folder)
        self.assertEqual(run.returncode, 0, run.stderr.decode(errors="replace")[-300:])
        made = sorted(n for n in set(log_names(folder)) - before if n.startswith("VeltraskoAll_"))
        if made:
            commands.append((made[0], True))
        self.assertPlaced(folder, "one more run after the cut")

    def report(self, line):
        print(line, file=sys.stderr, flush=True)

    def budget_left(self):
        return time.monotonic() - self.began < BUDGET

    # ---- the tests --------------------------------------------------------

    def test_1_cut_runs(self):
        """A cut run, one more run, the undos newest first: the start."""
        for k in range(CUTS):
            if not self.budget_left():
                self.report(f"cut run {k}: not started, past the time budget")
                break
            # What a cut finds lags the tool by up to a journal commit (a
            # second), so the instants run on a second past its end.
            delay = (self.run_length + 1.0) * (k + self.rng.random()) / CUTS
            copy = self.cut_command(self.start_image, (), delay)
            with self.subTest(cut_run=k, delay=round(delay, 3), seed=SEED):
                def check(folder):
                    new_logs = log_names(folder)
                    self.report(f"cut run at {delay:.3f} s (a run takes {self.run_length:.3f}): "
                                f"{self.describe(folder, new_logs)}")
                    self.assertNothingLost(folder)
                    commands = [(n, True) for n in new_logs if n.startswith("VeltraskoAll_")]
                    self.one_more_run(folder, commands)
                    self.assertUndoneToStart(folder, commands)
                self.on_copy(copy, check)

    def test_2_cut_undos(self):
        """A cut undo, then the same undo again, or one more run and the undos
        newest first: the start."""
        for k in range(CUTS):
            if not self.budget_left():
                self.report(f"cut undo {k}: not started, past the time budget")
                break
            delay = (self.undo_length + 1.0) * (k + self.rng.random()) / CUTS
            again = k % 2 == 0
            copy = self.cut_command(self.ran_image, ("--undo", self.ran_process_log), delay)
            with self.subTest(cut_undo=k, delay=round(delay, 3), again=again, seed=SEED):
                def check(folder):
                    new_logs = [n for n in log_names(folder) if n not in self.ran_logs]
                    self.report(f"cut undo at {delay:.3f} s (an undo takes {self.undo_length:.3f}): "
                                f"{self.describe(folder, new_logs)}; then "
                                f"{'the undo again' if again else 'one more run and the undos'}")
                    self.assertNothingLost(folder)
                    commands = [(self.ran_process_log, True)]
                    commands += [(n, False) for n in new_logs if n.startswith("VeltraskoAll_")]
                    if not again:
                        self.one_more_run(folder, commands)
                    # Given again, the undo of the run finishes (or, where the
                    # whole undo had reached the disk, answers that it is done).
                    self.assertUndoneToStart(folder, commands)
                self.on_copy(copy, check)

    def test_3_cuts_after_exit(self):
        """A run exits 0; a cut then holds the done state with whole logs,
        and its undo gives the start."""
        for k in range(CUTS):
            if not self.budget_left():
                self.report(f"cut after exit {k}: not started, past the time budget")
                break
            # The first right at the exit, the others spread over the next seconds.
            delay = 0.0 if k == 0 else AFTER_EXIT * (k - 1 + self.rng.random()) / max(CUTS - 1, 1)

            runs = []

            def act(folder, cut):
                runs.append(run_tool(folder))
                time.sleep(delay)
                cut()

            copy = self.cut_while(self.start_image, act)
            with self.subTest(cut_after_exit=k, delay=round(delay, 3), seed=SEED):
                def check(folder):
                    self.assertEqual(runs[0].returncode, 0, runs[0].stderr.decode(errors="replace")[-300:])
                    new_logs = log_names(folder)
                    self.report(f"cut {delay:.3f} s after exit 0: {self.describe(folder, new_logs)}")
                    self.assertEqual(len(new_logs), 2, "the run's two logs")
                    stamp = stamp_of_log(new_logs[0], "UTC")
                    whole = expected_logs({name: ns for name, (_, ns) in self.start.items()}, stamp, "UTC")
                    process, result = sorted(new_logs)
                    for name, want in ((process, whole[0]), (result, whole[1])):
                        got = self.read(folder, name)
                        self.assertTrue(got == want, f"{name} is not whole: {log_state(got)}")
                    self.assertPlaced(folder, "the done state")
                    self.assertUndoneToStart(folder, [(process, True)])
                self.on_copy(copy, check)


if __name__ == "__main__":
    unittest.main()
