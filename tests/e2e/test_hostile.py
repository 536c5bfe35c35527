"""Unusual folders: odd names, symbolic links, files named like logs, folders
that cannot be written or read, and times at the edges of what a file system
keeps. Each has one outcome, and nothing is lost."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

import test_rename
from tool import (HELD_FILES, run_summary, HEADER, NOT_FOUND, PROCESS_TITLE, RESULT_TITLE, WINDOWS, HeldFile, ToolTest, block_log_names,
                  both_logs_on_stdout, capture_order, expected_logs, make_file, messages, ns_of, progress_messages,
                  run_tool, run_tool_until, sjis, snapshot, stamp_of_log, stamp_on_stdout, standard_output,
                  standard_output_lines, target_name)


class HostileFolders(ToolTest):
    def run_as_user(self, mode):
        """Runs the tool as an ordinary user (root may do anything) in the
        folder with the given mode."""
        as_user = (lambda: os.setuid(65534)) if os.geteuid() == 0 else None
        os.chmod(self.dir, mode)
        try:
            return self.run_tool(preexec_fn=as_user)
        finally:
            os.chmod(self.dir, 0o700)

    def make_shots(self, shots):
        for name, ns in shots.items():
            self.make(name, ns)

    def test_odd_names_beside_the_screenshots_are_left_alone(self):
        shots = {"g0000002.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.PCX": ns_of("2020-01-02 00:00:00")}
        self.make_shots(shots)
        odd = [b"\xe3\x82\xb9\xe3\x82\xaf\xe3\x82\xb7\xe3\x83\xa7.pcx",  # UTF-8 Japanese
               b"G\xef\xbc\x90\xef\xbc\x90.pcx",  # fullwidth digits
               b"\x83X\x83N\x83V\x83\x87.pcx",  # Shift_JIS, not UTF-8
               b"G\xff\xfe00000.pcx",  # twelve bytes, invalid UTF-8
               b"G000000\xe9.PCX", b"\xc0\xaf0000001.pcx", b"G0000001.pcx\xff"]
        for name in odd:
            self.make(os.fsdecode(name), "2019-01-01 00:00:00", name)
        before = snapshot(self.dir)
        run = self.run_tool()
        test_rename.RenameRun.check_run(self, run, shots)
        after = snapshot(self.dir)
        self.assertEqual(after.pop("G0000000.pcx"), before["g0000002.pcx"])
        self.assertEqual(after.pop("G0000001.pcx"), before["G0000000.PCX"])
        for name in odd:
            self.assertEqual(after.pop(os.fsdecode(name)), before[os.fsdecode(name)])
        self.assertEqual(sorted(after), sorted(run.logs()))

    @unittest.skipIf(WINDOWS, "Wine shows a symbolic link as what it points to")
    def test_symbolic_links_named_like_screenshots(self):
        # A link to a file counts with that file's time and is itself renamed;
        # a dangling one counts with its own time; a link to a folder, or one
        # that loops, is not a screenshot.
        real = self.make("real.dat", "2020-01-01 00:00:00", b"real content")
        os.mkdir(os.path.join(self.dir, "folder"))
        links = {"G0000005.pcx": "real.dat", "G0000004.pcx": "missing.dat", "G0000003.pcx": "folder",
                 "G0000007.pcx": "G0000007.pcx"}
        for name, points_to in links.items():
            os.symlink(points_to, os.path.join(self.dir, name))
        dangling_ns = ns_of("2020-01-03 00:00:00")
        os.utime(os.path.join(self.dir, "G0000004.pcx"), ns=(dangling_ns, dangling_ns), follow_symlinks=False)
        self.make("G0000000.pcx", "2020-01-02 00:00:00")
        shots = {"G0000005.pcx": os.stat(real).st_mtime_ns, "G0000000.pcx": ns_of("2020-01-02 00:00:00"),
                 "G0000004.pcx": dangling_ns}
        run = self.run_tool()
        test_rename.RenameRun.check_run(self, run, shots)
        link_at = {target_name(0): "real.dat", target_name(2): "missing.dat", "G0000003.pcx": "folder",
                   "G0000007.pcx": "G0000007.pcx"}
        for name, points_to in link_at.items():
            self.assertEqual(os.readlink(os.path.join(self.dir, name)), points_to)
        self.assertEqual(run.read("real.dat"), b"real content")
        self.assertEqual(run.read(target_name(1)), b"G0000000.pcx content")

    @unittest.skipIf(WINDOWS, "Wine shows a symbolic link as what it points to")
    def test_either_log_name_alone_takes_a_second(self):
        # A dangling link at one of the two log names of a second takes that
        # second as surely as a log would: the run waits for a free one.
        for kind in ("All", "Log"):
            directory = tempfile.mkdtemp(dir=self.dir)
            make_file(directory, "G0000001.pcx", ns_of("2020-01-01 00:00:00"))
            make_file(directory, "G0000000.pcx", ns_of("2020-01-02 00:00:00"))
            start = int(time.time())
            for second in range(start - 1, start + 2):
                digits = time.strftime("%Y%m%d%H%M%S", time.gmtime(second))
                os.symlink("nowhere", os.path.join(directory, f"Veltrasko{kind}_{digits}.csv"))
            run = run_tool(directory, seams={"CLOCK_SKIPS": "1+"})
            self.assertEqual(run.stdout, standard_output(), kind)
            logs = [n for n in os.listdir(directory)
                    if n.startswith("Veltrasko") and not os.path.islink(os.path.join(directory, n))]
            self.assertEqual(len(logs), 2, kind)
            self.assertTrue(all(stamp_of_log(n, "UTC") >= start + 2 for n in logs), (kind, logs))

    @unittest.skipIf(WINDOWS, "Wine shows a symbolic link as what it points to")
    def test_files_named_like_logs(self):
        # An older run's logs, and whatever stands at the log names of the
        # seconds this run could take (logs of a run in the same second, or
        # symbolic links to files anywhere), stay as they are. The run waits
        # for a second with free log names; when none comes within three
        # seconds, both logs go to standard output.
        older = ["VeltraskoAll_20200101000000.csv", "VeltraskoLog_20200101000000.csv"]
        for name in older:
            self.make(name, "2020-01-01 00:00:00", b"older rows")
        outside = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, outside)
        kept = make_file(outside, "kept.txt", 0, b"kept")
        start = int(time.time())
        for second in range(start - 1, start + 30):
            digits = time.strftime("%Y%m%d%H%M%S", time.gmtime(second))
            os.symlink(kept, os.path.join(self.dir, f"VeltraskoAll_{digits}.csv"))
            self.make(f"VeltraskoLog_{digits}.csv", "2020-01-01 00:00:00", b"rows of a run in the same second")
        before = snapshot(self.dir)
        shots = {"G0000001.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00")}
        self.make_shots(shots)
        run = self.run_tool(seams={"CLOCK_SKIPS": "1+"})
        self.assertEqual(snapshot(outside), {"kept.txt": b"kept"})
        after = snapshot(self.dir)
        self.assertEqual((after.pop("G0000000.pcx"), after.pop("G0000001.pcx")),
                         (b"G0000001.pcx content", b"G0000000.pcx content"))
        self.assertEqual(after, before)
        stamp = stamp_on_stdout(run)
        self.assertGreaterEqual(stamp, start + 3)
        process, result = expected_logs(shots, stamp, "UTC")
        self.assertEqual(run.stdout, standard_output(both_logs_on_stdout(process, result, 2)))
        self.assertEqual(run.stderr, messages(*progress_messages(2)))

    def check_nothing_renamed(self, run, before, n):
        """Every rename failed for want of permission, the logs went to
        standard output: every line there a title, a header or a whole row,
        each row after its own log's title (a process-log row names a
        temporary name, a result-log row none), and the closing messages say
        where the process log is (no file bears its name) and why."""
        self.assertEqual(snapshot(self.dir), before)
        self.assertEqual(run.stderr, messages(*progress_messages(n, process_log_on_stdout=True),
                                              run_summary(0, ".", None, handled=n, moved=0, denied=n)))
        self.assertEqual(run.returncode, 1)
        lines = standard_output_lines(run)
        heads = [sjis(PROCESS_TITLE), sjis(RESULT_TITLE), sjis(HEADER)]
        rows = [line for line in lines if line not in heads]
        self.assertEqual(lines.count(sjis(HEADER)), 2)
        title = None
        for line in lines:
            if line in heads[:2]:
                title = line
            elif line in rows:
                self.assertRegex(line, rb"^NG,[^,]+\.pcx,[^,]+\.pcx,\d{4}/\d\d/\d\d,\d\d:\d\d:\d\d:\d\d$")
                self.assertEqual(title, sjis(PROCESS_TITLE) if b"_tmp_" in line else sjis(RESULT_TITLE), line)
        self.assertEqual(len(rows), 3 * n)

    def test_read_only_file_system(self):
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", self.dir],
                          capture_output=True).returncode != 0:
            self.skipTest("cannot mount a file system here")
        self.addCleanup(subprocess.run, ["umount", self.dir])
        shots = {"G0000002.pcx": ns_of("2020-01-01 00:00:00"), "g0000001.pcx": ns_of("2020-01-02 00:00:00"),
                 "G0000000.pcx": ns_of("2020-01-03 00:00:00")}
        self.make_shots(shots)
        subprocess.run(["mount", "-o", "remount,ro", self.dir], check=True)
        before = snapshot(self.dir)
        self.check_nothing_renamed(self.run_tool(), before, len(shots))

    @unittest.skipIf(WINDOWS, "a FUSE mount is a Linux matter")
    def test_fat_file_system_through_fuse(self):
        # FAT knows neither no-replace renames nor hard links: every rename
        # goes through a reservation, and a folder at a target stays.
        image, mount = os.path.join(self.dir, "fat.img"), os.path.join(self.dir, "mnt")
        os.mkdir(mount)
        if not os.path.exists("/dev/fuse"):
            self.skipTest("no /dev/fuse here: the FAT file system test did not run")
        if not (shutil.which("mkfs.vfat") and shutil.which("fusefat")):
            self.skipTest("mkfs.vfat or fusefat missing: the FAT file system test did not run")
        subprocess.run(["mkfs.vfat", "-C", image, "8192"], capture_output=True, check=True)
        if subprocess.run(["fusefat", "-o", "rw+", image, mount], capture_output=True).returncode != 0:
            self.skipTest("fusefat could not mount: the FAT file system test did not run")
        self.addCleanup(subprocess.run, ["fusermount", "-u", mount], capture_output=True)
        shots = {}
        # FAT keeps times to two seconds: what it kept is what counts.
        for name, when in (("G0000002.pcx", "2020-01-01 00:00:00"), ("G0000000.pcx", "2020-01-01 00:00:10"),
                           ("G0000003.pcx", "2020-01-01 00:00:20")):
            shots[name] = os.stat(make_file(mount, name, ns_of(when))).st_mtime_ns
        os.mkdir(os.path.join(mount, "G0000001.pcx"))
        run = run_tool(mount)
        test_rename.RenameRun.check_run(self, run, shots, verdicts={(2, 1): False}, failed=True, taken=1)
        self.assertEqual(run.read("G0000000.pcx"), b"G0000002.pcx content")
        self.assertEqual(run.read("G0000002.pcx"), b"G0000003.pcx content")
        self.assertTrue(os.path.isdir(os.path.join(mount, "G0000001.pcx")))

    @unittest.skipIf(WINDOWS, "Wine runs only for the owner of its prefix")
    def test_folder_the_user_cannot_write(self):
        shots = {"G0000002.pcx": ns_of("2020-01-01 00:00:00"), "G0000001.pcx": ns_of("2020-01-02 00:00:00")}
        self.make_shots(shots)
        before = snapshot(self.dir)
        self.check_nothing_renamed(self.run_as_user(0o555), before, len(shots))

    @unittest.skipIf(WINDOWS, "Wine runs only for the owner of its prefix")
    def test_folder_that_cannot_be_listed(self):
        # Root reads any folder, so the tool runs as an ordinary user there.
        self.make("G0000001.pcx", "2020-01-01 00:00:00")
        self.make("G0000000.pcx", "2020-01-02 00:00:00")
        before = snapshot(self.dir)
        run = self.run_as_user(0o111)
        # Nothing could be looked at: that is no success.
        self.assertEqual((run.returncode, run.stdout, run.stderr), (1, b"", messages(NOT_FOUND + "\n")))
        self.assertEqual(snapshot(self.dir), before)

    def test_times_at_the_edges_of_the_file_system(self):
        times = ["1901-12-14 00:00:00.5", "1969-12-31 23:59:59.999999999", "1970-01-01 00:00:00",
                 "2038-01-19 03:14:08", "2446-05-10 00:00:00.25"]
        names = ["G0000009.pcx", "G0000007.pcx", "G0000000.pcx", "G0000004.pcx", "G0000001.pcx"]
        shots = {}
        for name, when in zip(names, times):
            # What the file system kept, should it round or clamp.
            shots[name] = os.stat(self.make(name, when)).st_mtime_ns
        run = self.run_tool()
        test_rename.RenameRun.check_run(self, run, shots)
        for i, name in enumerate(names):
            self.assertEqual(run.read(target_name(i)), name.encode() + b" content")


@unittest.skipUnless(WINDOWS, "only Windows lets another program hold a file against a rename")
class HeldFiles(ToolTest):
    """A screenshot that another program holds open (a viewer, a virus
    scanner) while the run wants to rename it."""

    def make_shots(self):
        """Three screenshots; G0000000.pcx, which a run renames second, is the
        one held."""
        shots = {"G0000002.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00"),
                 "G0000001.pcx": ns_of("2020-01-03 00:00:00")}
        for name, ns in shots.items():
            self.make(name, ns)
        return shots

    def placed(self, shots, before):
        """Every screenshot at the name one uninterrupted run gives it."""
        return {target_name(i): before[name] for i, name in enumerate(capture_order(shots))}

    def test_a_file_held_for_a_moment_is_waited_out(self):
        shots = self.make_shots()
        before = snapshot(self.dir)
        held = HeldFile(self.dir, "G0000000.pcx", 500)
        self.addCleanup(held.release)
        # The hold ends half a second after the first rename.
        run, _ = run_tool_until(self.dir, lambda: any(n.startswith("_tmp_") for n in os.listdir(self.dir)),
                                held.start_clock)
        test_rename.RenameRun.check_run(self, run, shots)
        self.assertEqual({n: c for n, c in snapshot(self.dir).items() if not n.startswith("Veltrasko")},
                         self.placed(shots, before))

    def test_a_file_held_for_long_is_given_up_on_and_one_more_run_finishes(self):
        shots = self.make_shots()
        before = snapshot(self.dir)
        held = HeldFile(self.dir, "G0000000.pcx", 30000)
        self.addCleanup(held.release)
        run, took = run_tool_until(self.dir, lambda: True, held.start_clock, args=["."])
        process, result = run.logs()
        self.assertGreaterEqual(took, 2.0, "the run waits about 2 s for the held file")
        self.assertIn(b"NG,G0000000.pcx,", run.read(process))
        # Something was not done; the closing message says one file was in use.
        self.assertEqual(run.returncode, 1)
        self.assertTrue(run.stderr.endswith(messages(HELD_FILES.format(1))), run.stderr)
        after = {n: c for n, c in snapshot(self.dir).items() if not n.startswith("Veltrasko")}
        self.assertEqual(sorted(after.values()), sorted(before.values()), "nothing lost")
        self.assertEqual(after["G0000000.pcx"], before["G0000000.pcx"])
        held.release()
        self.assertEqual(self.run_tool().returncode, 0)
        self.assertEqual({n: c for n, c in snapshot(self.dir).items() if not n.startswith("Veltrasko")},
                         self.placed(shots, before))


class StandardStreams(ToolTest):
    SHOTS = {"G0000001.pcx": ns_of("2020-01-01 00:00:00"), "G0000000.pcx": ns_of("2020-01-02 00:00:00")}

    def fill(self):
        directory = tempfile.mkdtemp(dir=self.dir)
        for name, ns in self.SHOTS.items():
            make_file(directory, name, ns)
        return directory

    def check_logs(self, run, blocked=()):
        """The logs that have files are exactly what the run should write."""
        names = [name for name in run.logs() if name not in blocked]
        process, result = run.logs()
        want = dict(zip((process, result), expected_logs(self.SHOTS, stamp_of_log(process, "UTC"), "UTC")))
        for name in names:
            self.assertEqual(run.read(name), want[name], name)
        self.assertEqual(run.read("G0000000.pcx"), b"G0000001.pcx content")

    @unittest.skipIf(WINDOWS, "closed standard descriptors are a POSIX matter")
    def test_closed_standard_descriptors_never_take_a_log(self):
        # With standard error closed, the messages must not land in the
        # process log; with standard output closed, neither must the rows of
        # a result log that stands in there.
        run = run_tool(self.fill(), preexec_fn=lambda: os.close(2), stderr=None)
        self.check_logs(run)
        directory = self.fill()
        blocked = block_log_names(directory, kinds=("Log",))
        run = run_tool(directory, preexec_fn=lambda: os.close(1), stdout=None)
        self.check_logs(run, blocked)
        self.assertEqual(run.stderr, messages(*progress_messages(2)))

    def test_a_reader_that_went_away_does_not_end_the_run(self):
        reader, writer = os.pipe()
        os.close(reader)
        try:
            run = run_tool(self.fill(), stdout=writer, stderr=writer)
        finally:
            os.close(writer)
        self.assertEqual(run.returncode, 0)
        self.check_logs(run)


if __name__ == "__main__":
    unittest.main()
