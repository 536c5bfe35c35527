#!/usr/bin/env python3
"""Times whole runs of shotrenum against the floor program bench/baseline.cpp.

For each directory given (put one on ext4 and one on tmpfs, e.g. /var/tmp and
/dev/shm) and each size, it makes that many screenshots in a fresh
subdirectory, then runs the tool and the baseline alternately, in pairs whose
order flips from one pair to the next. Before every run (untimed) the files
get freshly shuffled last-write times, the logs of the previous run are
removed and the file system is synced; after every run a sample of files is
checked to be in capture order, so a program that did not do the work is
caught. Every run has its standard input at end of file.

Wall time is taken around spawn and wait; the CPU ratio (user + system time
of the process) is shown beside it, as it suffers less when other work
shares the machine. Peak RSS comes from one more run of
each program under /usr/bin/time, as a process started straight from Python
would be charged the interpreter's own peak.

    cmake --build build --target shotrenum shotrenum_baseline
    python3 bench/bench.py /var/tmp /dev/shm
"""

import argparse
import os
import random
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
    """n screenshots G0000000.pcx.. in `where`; each shuffle gives them new
    write times in a random order, so the next run has to renumber all."""

    def __init__(self, where, n, rng):
        self.dir = os.path.join(where, f"shotrenum-bench-{n}-{os.getpid()}")
        self.n = n
        self.rng = rng
        os.mkdir(self.dir)
        for i in range(n):
            with open(os.path.join(self.dir, f"G{i:07d}.pcx"), "wb"):
                pass

    def shuffle(self):
        for name in os.listdir(self.dir):
            if name.startswith("Veltrasko"):
                os.unlink(os.path.join(self.dir, name))
        ranks = list(range(self.n))
        self.rng.shuffle(ranks)
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

    def remove(self):
        for name in os.listdir(self.dir):
            os.unlink(os.path.join(self.dir, name))
        os.rmdir(self.dir)


def timed_run(program, shots):
    shots.shuffle()
    devnull = [(os.POSIX_SPAWN_OPEN, fd, os.devnull, flags, 0)
               for fd, flags in ((0, os.O_RDONLY), (1, os.O_WRONLY), (2, os.O_WRONLY))]
    home = os.getcwd()
    os.chdir(shots.dir)
    try:
        start = time.perf_counter()
        pid = os.posix_spawn(program, [program], os.environ, file_actions=devnull)
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    finally:
        os.chdir(home)
    if status != 0:
        sys.exit(f"{program} ended with status {status}")
    shots.check(program)
    return wall, usage.ru_utime, usage.ru_stime


def peak_rss_kib(program, shots):
    shots.shuffle()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", program], cwd=shots.dir, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, check=True)
    shots.check(program)
    return int(result.stderr.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("dirs", nargs="+", help="directories to make the screenshots in, one per file system")
    parser.add_argument("--sizes", default="1000,10000,100000", help="comma-separated file counts")
    parser.add_argument("--million", action="store_true", help="also 1,000,000 files")
    parser.add_argument("--pairs", type=int, default=5, help="alternating tool/baseline pairs per size")
    parser.add_argument("--build", default="build", help="the CMake build directory")
    parser.add_argument("--tool", help="the tool (default BUILD/shotrenum)")
    parser.add_argument("--baseline", help="the floor program (default BUILD/shotrenum_baseline)")
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

    rows = []
    for where in args.dirs:
        kind = fs_type(where)
        for n in sizes:
            shots = ShotSet(where, n, rng)
            try:
                ratios, cpu_ratios, tool_walls, base_walls = [], [], [], []
                for pair in range(args.pairs):
                    order = (tool, baseline) if pair % 2 == 0 else (baseline, tool)
                    walls = {program: timed_run(program, shots) for program in order}
                    ratios.append(walls[tool][0] / walls[baseline][0])
                    cpu_ratios.append(sum(walls[tool][1:]) / max(sum(walls[baseline][1:]), 1e-9))
                    tool_walls.append(walls[tool][0])
                    base_walls.append(walls[baseline][0])
                    t, b = walls[tool], walls[baseline]
                    print(f"{kind:6} n={n:<8} pair {pair + 1}: tool {t[0]:.4f}s (user {t[1]:.3f} sys {t[2]:.3f})"
                          f"  baseline {b[0]:.4f}s (user {b[1]:.3f} sys {b[2]:.3f})  ratio {ratios[-1]:.3f}",
                          flush=True)
                rss_tool = peak_rss_kib(tool, shots)
                rss_base = peak_rss_kib(baseline, shots)
            finally:
                shots.remove()
            rows.append((n, kind, statistics.median(tool_walls), statistics.median(base_walls),
                         statistics.median(ratios), statistics.median(cpu_ratios), rss_tool, rss_base))

    print()
    print("| files | fs | tool (median s) | baseline (median s) | median ratio | median CPU ratio | tool us/file "
          "| peak RSS tool KiB | peak RSS baseline KiB | RSS limit KiB |")
    print("|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|")
    for n, kind, tool_wall, base_wall, ratio, cpu_ratio, rss_tool, rss_base in rows:
        limit = (48 * n + 4 * 1024 * 1024) // 1024
        print(f"| {n:,} | {kind} | {tool_wall:.4f} | {base_wall:.4f} | {ratio:.3f} | {cpu_ratio:.3f} "
              f"| {tool_wall / n * 1e6:.2f} | {rss_tool:,} | {rss_base:,} | {limit:,} |")


if __name__ == "__main__":
    main()
