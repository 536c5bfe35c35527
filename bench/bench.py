#!/usr/bin/env python3
"""Times whole runs of shotrenum against the floor program bench/baseline.cpp,
without logs (the plain floor), with the least log that survives a kill
written a row at a time (--durable-log: one write per row as soon as its
rename is done), and with the same rows stored into a sliding window of a
shared mapping of each log file (--mapped-log), which survive a kill as well,
and those mapped logs made durable at the tool's three barriers (--barrier-log:
both logs and the folder before the first rename, the process log and the
folder between the phases, both logs cut to their rows and the folder at the
end), which survive a power cut.

For each directory given (put one on ext4 and one on tmpfs, e.g. /var/tmp and
/dev/shm) and each size, it makes that many screenshots in a fresh
subdirectory, then runs the tool and the three floors in rounds, the order
rotating from one round to the next. Before every run (untimed) the files
get freshly shuffled last-write times, the logs of the previous run are
removed and the file system is synced; after every run a sample of files is
checked to be in capture order, so a program that did not do the work is
caught. Every run has its standard input at end of file.

After each run of the tool, the undo of that run is timed too (the tool with
--undo and the run's result log, started in a second of its own so that it
does not wait for one), and checked to give every file back its name; the
table shows its time, its ratio to the run, and its peak RSS. Then an undo
of a chain: a run killed with SIGKILL halfway through (half the median time
of the tool's runs so far), one more run that finishes it, and the undo of
that run, which takes both back; the table shows the undo's time against
the two runs together (the killed one up to its kill).

With --before, an earlier build of the tool runs in the same rounds, so a
change is measured against the floors and against what came before it.
Wall time is taken around spawn and wait; the CPU ratio (user + system time
of the process) is shown beside it, as it suffers less when other work
shares the machine. Peak RSS comes from one more run of
each program (the tool, its undo and the two floors that keep logs) under
/usr/bin/time, as a process started straight from Python
would be charged the interpreter's own peak.

    cmake --build build --target shotrenum shotrenum_baseline
    python3 bench/bench.py /var/tmp /dev/shm
"""

import argparse
import os
import random
import signal
import statistics
import subprocess
import sys
import time

NS_APART = 1_000_003  # distinct write times about a millisecond apart
BASE_NS = 1_300_000_000 * 1_000_000_000


def fs_type(path):
    path = os.path.realpath(path)
    best = ("", "?")
    with open("/proc/self/mounts") as mounts:
        for line in mounts:
            fields = line.split()
            mount, kind = fields[1], fields[2]
            if (path == mount or path.startswith(mount.rstrip("/") + "/")) and len(mount) >= len(best[0]):
                best = (mount, kind)
    return best[1]


class ShotSet:
    """n screenshots G0000000.pcx.. in `where`, one byte each; each shuffle
    gives them new write times in a random order, so the next run has to
    renumber all. (Not empty: a kill can leave an empty file at a temporary
    name that the next run takes for an empty reservation, and removes.)"""

    def __init__(self, where, n, rng):
        self.dir = os.path.join(where, f"shotrenum-bench-{n}-{os.getpid()}")
        self.n = n
        self.rng = rng
        os.mkdir(self.dir)
        for i in range(n):
            with open(os.path.join(self.dir, f"G{i:07d}.pcx"), "wb") as shot:
                shot.write(b"G")

    def shuffle(self):
        for name in os.listdir(self.dir):
            if name.startswith("Veltrasko"):
                os.unlink(os.path.join(self.dir, name))
        ranks = list(range(self.n))
        self.rng.shuffle(ranks)
        self.ranks = ranks
        for i, rank in enumerate(ranks):
            t = BASE_NS + rank * NS_APART
            os.utime(os.path.join(self.dir, f"G{i:07d}.pcx"), ns=(t, t))
        os.sync()

    def check(self, who):
        names = os.listdir(self.dir)
        shots = sum(1 for name in names if name.startswith("G"))
        left = [name for name in names if name.startswith("_tmp_")]
        if shots != self.n or left:
            sys.exit(f"{who}: {shots} screenshots and {len(left)} temporary names after the run")
        for rank in self.rng.sample(range(self.n), min(self.n, 200)):
            got = os.stat(os.path.join(self.dir, f"G{rank:07d}.pcx")).st_mtime_ns
            if got != BASE_NS + rank * NS_APART:
                sys.exit(f"{who}: G{rank:07d}.pcx is not in capture order")

    def check_undone(self, who):
        """Every file back at the name it had before the run."""
        names = os.listdir(self.dir)
        if sum(1 for name in names if name.startswith(("G", "_tmp_"))) != self.n:
            sys.exit(f"{who}: files are missing after the undo")
        for i in self.rng.sample(range(self.n), min(self.n, 200)):
            got = os.stat(os.path.join(self.dir, f"G{i:07d}.pcx")).st_mtime_ns
            if got != BASE_NS + self.ranks[i] * NS_APART:
                sys.exit(f"{who}: G{i:07d}.pcx is not back")

    def result_log(self, newest=False):
        return (max if newest else min)(name for name in os.listdir(self.dir) if name.startswith("VeltraskoLog_"))

    def remove(self):
        for name in os.listdir(self.dir):
            os.unlink(os.path.join(self.dir, name))
        os.rmdir(self.dir)


def spawned(command, shots, kill_after=None):
    """Runs `command` in the screenshots' folder, killed after `kill_after`
    seconds if given: its wall time, exit status and resource usage."""
    devnull = [(os.POSIX_SPAWN_OPEN, fd, os.devnull, flags, 0)
               for fd, flags in ((0, os.O_RDONLY), (1, os.O_WRONLY), (2, os.O_WRONLY))]
    home = os.getcwd()
    os.chdir(shots.dir)
    try:
        start = time.perf_counter()
        pid = os.posix_spawn(command[0], command, os.environ, file_actions=devnull)
        if kill_after is not None:
            time.sleep(kill_after)
            os.kill(pid, signal.SIGKILL)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    finally:
        os.chdir(home)
    return wall, status, usage


def timed_run(command, shots, undo=False, shuffle=True):
    if undo:
        command = command + ["--undo", shots.result_log(newest=True)]
        time.sleep(1.02 - time.time() % 1)  # a second no log bears yet
    elif shuffle:
        shots.shuffle()
    wall, status, usage = spawned(command, shots)
    if status != 0:
        sys.exit(f"{' '.join(command)} ended with status {status}")
    (shots.check_undone if undo else shots.check)(" ".join(command))
    return wall, usage.ru_utime, usage.ru_stime


def chain(command, shots, kill_after):
    """A run killed after `kill_after` seconds, one more run that finishes
    it, and the undo of that run: the wall time of the two runs together
    (the killed one up to its end), and of the undo; None when the first run
    ended before the kill."""
    shots.shuffle()
    killed, status, _ = spawned(command, shots, kill_after)
    if not os.WIFSIGNALED(status):
        return None
    time.sleep(1.02 - time.time() % 1)  # the next run takes a second of its own
    finishing = timed_run(command, shots, shuffle=False)[0]
    undo = timed_run(command, shots, undo=True)[0]
    return killed + finishing, undo


def peak_rss_kib(command, shots, undo=False):
    if undo:
        command = command + ["--undo", shots.result_log(newest=True)]
        time.sleep(1.02 - time.time() % 1)
    else:
        shots.shuffle()
    result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, cwd=shots.dir, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    (shots.check_undone if undo else shots.check)(" ".join(command))
    return int(result.stderr.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("dirs", nargs="+", help="directories to make the screenshots in, one per file system")
    parser.add_argument("--sizes", default="1000,10000,100000", help="comma-separated file counts")
    parser.add_argument("--million", action="store_true", help="also 1,000,000 files")
    parser.add_argument("--rounds", type=int, default=5, help="rounds of the tool and the floors per size")
    parser.add_argument("--build", default="build", help="the CMake build directory")
    parser.add_argument("--tool", help="the tool (default BUILD/shotrenum)")
    parser.add_argument("--baseline", help="the floor program (default BUILD/shotrenum_baseline)")
    parser.add_argument("--before", help="an earlier build of the tool to run in the same rounds")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()

    tool = os.path.abspath(args.tool or os.path.join(args.build, "shotrenum"))
    baseline = os.path.abspath(args.baseline or os.path.join(args.build, "shotrenum_baseline"))
    for program in (tool, baseline):
        if not os.access(program, os.X_OK):
            sys.exit(f"{program} is missing: cmake --build {args.build} --target shotrenum shotrenum_baseline")
    if not os.access("/usr/bin/time", os.X_OK):
        sys.exit("/usr/bin/time is missing (apt-get install time)")
    sizes = [int(s) for s in args.sizes.split(",") if s]
    if args.million:
        sizes.append(1_000_000)
    rng = random.Random(args.seed)

    commands = {"tool": [tool], "floor": [baseline], "durable": [baseline, "--durable-log"],
                "mapped": [baseline, "--mapped-log"], "barrier": [baseline, "--barrier-log"]}
    if args.before:
        commands["before"] = [os.path.abspath(args.before)]
    rows = []
    for where in args.dirs:
        kind = fs_type(where)
        for n in sizes:
            shots = ShotSet(where, n, rng)
            try:
                times = {name: [] for name in [*commands, "undo"]}
                chains = []  # (the two runs, the undo)
                for round_ in range(args.rounds):
                    names = list(commands)
                    for name in names[round_ % len(names):] + names[:round_ % len(names)]:
                        times[name].append(timed_run(commands[name], shots))
                        if name == "tool":
                            times["undo"].append(timed_run(commands["tool"], shots, undo=True))
                    half = statistics.median(r[0] for r in times["tool"]) / 2
                    chained = chain(commands["tool"], shots, half)
                    if chained:
                        chains.append(chained)
                    t, f, d, m, u = (times[name][-1] for name in ("tool", "floor", "durable", "mapped", "undo"))
                    print(f"{kind:6} n={n:<8} round {round_ + 1}: tool {t[0]:.4f}s (user {t[1]:.3f} sys {t[2]:.3f})"
                          f"  durable-log floor {d[0]:.4f}s  mapped-log floor {m[0]:.4f}s  plain floor {f[0]:.4f}s"
                          f"  ratios {t[0] / d[0]:.3f} / {t[0] / m[0]:.3f} / {t[0] / f[0]:.3f}  undo {u[0]:.4f}s"
                          + (f"  chain {chained[0]:.4f}s, its undo {chained[1]:.4f}s" if chained else
                             "  chain: the run ended before the kill"), flush=True)
                # The undo takes back the run just before it.
                rss = {"tool": peak_rss_kib(commands["tool"], shots)}
                rss["undo"] = peak_rss_kib(commands["tool"], shots, undo=True)
                rss.update({name: peak_rss_kib(commands[name], shots) for name in ("durable", "mapped")})
            finally:
                shots.remove()
            rows.append((n, kind, times, rss, chains))

    def ratios(times, who, over, cpu=False):
        pick = (lambda r: r[1] + r[2]) if cpu else (lambda r: r[0])
        return [pick(a) / max(pick(b), 1e-9) for a, b in zip(times[who], times[over])]

    print()
    print("| files | fs | tool (s) | durable-log floor (s) | mapped-log floor (s) | plain floor (s) "
          "| tool / durable-log floor (quartiles) | CPU ratio to it | tool / mapped-log floor | tool / plain floor "
          "| mapped-log floor / durable-log floor | before / durable-log floor / plain floor | tool us/file "
          "| peak RSS tool KiB "
          "| peak RSS durable-log floor KiB | peak RSS mapped-log floor KiB "
          "| undo (s) | undo / tool | peak RSS undo KiB | RSS limit KiB | chain undo / its two runs (chains) "
          "| barrier floor (s) | tool / barrier floor | barrier floor / mapped-log floor |")
    print("|---:|---|" + "---:|" * 22)
    for n, kind, times, rss, chains in rows:
        wall = {name: statistics.median(r[0] for r in runs) for name, runs in times.items()}
        durable = ratios(times, "tool", "durable")
        quartiles = statistics.quantiles(durable, n=4) if len(durable) > 1 else durable * 3
        before = "-"
        if "before" in times:
            before = (f"{statistics.median(ratios(times, 'before', 'durable')):.3f} / "
                      f"{statistics.median(ratios(times, 'before', 'floor')):.3f}")
        limit = (48 * n + 4 * 1024 * 1024) // 1024
        print(f"| {n:,} | {kind} | {wall['tool']:.4f} | {wall['durable']:.4f} | {wall['mapped']:.4f} "
              f"| {wall['floor']:.4f} | {statistics.median(durable):.3f} ({quartiles[0]:.3f}–{quartiles[2]:.3f}) "
              f"| {statistics.median(ratios(times, 'tool', 'durable', cpu=True)):.3f} "
              f"| {statistics.median(ratios(times, 'tool', 'mapped')):.3f} "
              f"| {statistics.median(ratios(times, 'tool', 'floor')):.3f} "
              f"| {statistics.median(ratios(times, 'mapped', 'durable')):.3f} | {before} "
              f"| {wall['tool'] / n * 1e6:.2f} | {rss['tool']:,} | {rss['durable']:,} | {rss['mapped']:,} "
              f"| {wall['undo']:.4f} | {statistics.median(ratios(times, 'undo', 'tool')):.3f} | {rss['undo']:,} "
              f"| {limit:,} | {statistics.median(u / r for r, u in chains) if chains else float('nan'):.3f} "
              f"({len(chains)}) | {wall['barrier']:.4f} | {statistics.median(ratios(times, 'tool', 'barrier')):.3f} "
              f"| {statistics.median(ratios(times, 'barrier', 'mapped')):.3f} |")


if __name__ == "__main__":
    main()
