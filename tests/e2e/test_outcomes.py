"""The ways a run ends without renaming anything, and the hand-over to the
rename run."""

import fcntl
import os
import resource
import shutil
import subprocess
import tempfile
import unittest

from tool import (LOG_WHY_KIND, LOG_WHY_ROW, ANOTHER_RUN, NOT_FOUND_IN, BIN, CONSOLE_PAUSE_BIN, EOL, FOLDER_CHANGED, FOLDER_HEADING, IN_ORDER, KEY,
                  LISTING_BROKEN, NOT_FOUND, OUT_OF_MEMORY, PAUSE, PREVIEW_DONE, PREVIEW_IN_THE_WAY, PREVIEW_NO_WRITE, REFUSED, RUNNER, SANITIZED, TOO_MANY,
                  WINDOWS, WINDOWS_PAUSE, ToolTest, folder_state, make_file, messages, ns_of, progress_messages,
                  run_on_terminal, run_summary, run_tool, sjis, snapshot, standard_output, SUMMARY_PREVIEW, temp_name,
                  tool_environment, windows_path)

DECOYS = ["G123.pcx", "G00000001.pcx", "GA000001.pcx", "G00000a1.pcx", "X0000001.pcx", "G0000001.pcx.bak"]


class NothingToDo(ToolTest):
    def test_empty_directory_and_decoys_only_report_not_found(self):
        run = self.run_tool()
        self.assertEqual((run.returncode, run.stdout, run.stderr), (0, standard_output(), messages(NOT_FOUND + "\n")))
        self.assertEqual(os.listdir(self.dir), [])
        # With no folder named, the message names none; with one, it does.
        for args, said in ((["-n"], NOT_FOUND + "\n"), (["-n", "."], NOT_FOUND_IN.format("."))):
            run = self.run_tool(args=args)
            self.assertEqual((run.returncode, run.stderr), (0, messages(said)), args)

        for name in DECOYS:
            self.make(name, "2020-01-01 00:00:00")
        os.mkdir(os.path.join(self.dir, "G0000001.pcx"))
        before = snapshot(self.dir)
        run = self.run_tool()
        self.assertEqual((run.returncode, run.stderr), (0, messages(NOT_FOUND + "\n")))
        self.assertEqual(snapshot(self.dir), before)
        self.assertTrue(os.path.isdir(os.path.join(self.dir, "G0000001.pcx")))

    def test_ordered_set_is_left_alone(self):
        self.make("G0000000.pcx", "2020-01-01 00:00:00")
        self.make("G0000001.pcx", "2020-01-01 00:00:00.0000001")
        self.make("G0000002.pcx", "2020-01-02 00:00:00")
        self.make("G123.pcx", "2019-01-01 00:00:00")
        before = snapshot(self.dir)
        run = self.run_tool()
        self.assertEqual((run.returncode, run.stdout, run.stderr), (0, standard_output(), messages(IN_ORDER + "\n")))
        self.assertEqual(snapshot(self.dir), before)

    def test_messages_are_readable_in_a_utf8_locale(self):
        # The Windows build writes Shift_JIS whatever the locale.
        run = self.run_tool(locale="C.UTF-8")
        self.assertEqual(run.stderr, messages(NOT_FOUND + "\n"))
        self.make("G0000000.pcx", "2020-01-01 00:00:00")
        run = self.run_tool(locale="C.UTF-8")
        self.assertEqual(run.stderr, messages(IN_ORDER + "\n"))

    @unittest.skipIf(WINDOWS, "the Windows build writes Shift_JIS when redirected, whatever the locale")
    def test_messages_are_in_the_locales_character_set_and_utf8_where_it_names_none(self):
        def shown(locale, **variables):
            env = tool_environment(locale=locale)
            env.update(variables)
            return subprocess.run([BIN], cwd=self.dir, env=env, stdin=subprocess.DEVNULL, capture_output=True,
                                  timeout=60).stderr

        for locale in (None, "C", "POSIX", "ja_JP", "C.UTF-8", "en_US.utf8"):
            self.assertEqual(shown(locale), (NOT_FOUND + "\n").encode("utf-8"), locale)
        # LC_ALL, then LC_CTYPE, then LANG.
        self.assertEqual(shown(None, LC_CTYPE="ja_JP.SJIS", LANG="C.UTF-8"), sjis(NOT_FOUND + "\n"))
        self.assertEqual(shown("C", LC_CTYPE="ja_JP.SJIS"), (NOT_FOUND + "\n").encode("utf-8"))
        self.assertEqual(shown("ja_JP.SJIS"), sjis(NOT_FOUND + "\n"))
        # Converted to the locale's character set, whether the system has the
        # locale or not.
        euc = subprocess.run(["iconv", "-f", "UTF-8", "-t", "EUC-JP"], input=(NOT_FOUND + "\n").encode(),
                             capture_output=True)
        if euc.returncode != 0:
            self.skipTest("iconv cannot convert to EUC-JP on this machine")
        self.assertEqual(shown("ja_JP.eucJP"), euc.stdout)

    @unittest.skipIf(WINDOWS, "the Windows build pauses through the command interpreter, which reads its input")
    def test_input_that_is_no_terminal_is_neither_read_nor_prompted_for(self):
        # As in `printf 'a\nb\n' | while read d; do (cd "$d" && shotrenum); done`.
        read_end, write_end = os.pipe()
        os.write(write_end, b"a\nb\n")
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            run = self.run_tool(stdin=pipe)
            self.assertEqual(pipe.read(), b"a\nb\n")
        self.assertEqual((run.stdout, run.stderr), (b"", messages(NOT_FOUND + "\n")))

    def test_a_terminal_shows_the_messages_as_text_and_the_pause_takes_one_key(self):
        # A Windows console gets UTF-16, which Wine shows in the terminal's UTF-8;
        # it moves the cursor over the trailing space of cmd's prompt.
        self.make("G0000000.pcx", "2020-01-02 00:00:00")
        self.make("G0000001.pcx", "2020-01-01 00:00:00")
        shown, restored = run_on_terminal(self.dir)
        pause = WINDOWS_PAUSE.rstrip() if WINDOWS else (PAUSE + "\n").encode()
        # The summary, with how to undo, comes before the pause.
        result_log = next(n for n in os.listdir(self.dir) if n.startswith("VeltraskoLog_"))
        self.assertEqual(shown, ("".join(progress_messages(2)) + run_summary(2, ".", result_log)).encode() + pause)
        self.assertTrue(restored, "the terminal's modes are restored")
        self.assertEqual(snapshot(self.dir)["G0000000.pcx"], b"G0000001.pcx content")

    @unittest.skipUnless(WINDOWS, "the console of the Windows build")
    def test_the_pause_at_the_console_prompts_there_and_never_on_standard_output(self):
        # Run from a terminal, the program is alone on its console, as when
        # Explorer starts it; standard output goes to a file.
        with open(os.path.join(self.dir, "out.txt"), "w+b") as out:
            shown, restored = run_on_terminal(self.dir, [CONSOLE_PAUSE_BIN], PAUSE.rstrip().encode(), stdout=out)
            out.seek(0)
            self.assertEqual(out.read(), b"closes=1\r\ndone\r\n")
        # The terminal echoes the key at times.
        self.assertEqual(shown.replace(KEY, b""), PAUSE.rstrip().encode() + b"\n")
        self.assertTrue(restored)
        # Started by a command interpreter, it shares the console; standard
        # input that is no console gives no key to wait for; with no console at
        # all, there is no window either.
        shown, _ = run_on_terminal(self.dir, ["cmd", "/c", CONSOLE_PAUSE_BIN], stdin=subprocess.DEVNULL)
        self.assertEqual(shown, b"closes=0\ndone\n")
        run = subprocess.run(RUNNER + [CONSOLE_PAUSE_BIN], stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        self.assertEqual((run.stdout, run.stderr), (b"closes=0\r\ndone\r\n", b""))

    def test_out_of_order_set_is_handed_to_the_rename_run(self):
        # The middle file was written last.
        self.make("G0000000.pcx", "2020-01-01 00:00:00")
        self.make("G0000001.pcx", "2020-01-03 00:00:00")
        self.make("G0000002.pcx", "2020-01-02 00:00:00")
        run = self.run_tool()
        self.assertEqual(run.returncode, 0)
        self.assertNotIn(messages(IN_ORDER), run.stderr)
        process, result = run.logs()
        self.assertIsNotNone(process)
        self.assertIsNotNone(result)
        self.assertEqual(run.read("G0000002.pcx"), b"G0000001.pcx content")


class SetChangesDuringTheScan(ToolTest):
    """The directory is read twice; what happens in between must not confuse
    the numbering."""

    def test_all_files_vanishing_between_the_passes_reports_not_found(self):
        self.make("G0000005.pcx", "2020-01-01 00:00:00")
        run = self.run_tool(seams={"BEFORE_SEARCH": "2:remove:G0000005.pcx"})
        self.assertEqual(run.stderr, messages(NOT_FOUND + "\n"))
        self.assertEqual(os.listdir(self.dir), [])

    def test_a_vanished_file_leaves_no_gap(self):
        self.make("G0000004.pcx", "2020-01-01 00:00:00")
        self.make("G0000005.pcx", "2020-01-02 00:00:00")
        self.make("G0000006.pcx", "2020-01-03 00:00:00")
        run = self.run_tool(seams={"BEFORE_SEARCH": "2:remove:G0000004.pcx"})
        self.assertEqual(run.returncode, 0)
        files = snapshot(self.dir)
        self.assertEqual(files["G0000000.pcx"], b"G0000005.pcx content")
        self.assertEqual(files["G0000001.pcx"], b"G0000006.pcx content")
        self.assertNotIn("G0000002.pcx", files)

    def test_a_file_appearing_between_the_passes_ends_the_run_untouched(self):
        self.make("G0000004.pcx", "2020-01-01 00:00:00")
        run = self.run_tool(seams={"BEFORE_SEARCH": "2:create:G0000009.pcx"})
        self.assertEqual(run.stderr, messages(FOLDER_CHANGED + "\n"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["G0000004.pcx", "G0000009.pcx"])

    def test_a_listing_that_fails_to_start_reports_not_found(self):
        self.make("G0000004.pcx", "2020-01-01 00:00:00")
        for search in (1, 2):
            run = self.run_tool(seams={"SEARCH_FAIL": search})
            self.assertEqual(run.stderr, messages(NOT_FOUND + "\n"))
            self.assertEqual(os.listdir(self.dir), ["G0000004.pcx"])

    def failing_each_call_ends_the_run_untouched(self, fault):
        """Fails the 1st, 2nd, ... call of the fault's kind in turn: each ends
        the run untouched, until the calls of both passes are used up and the
        run goes on. Returns how many failed the run."""
        before = snapshot(self.dir)
        for call in range(1, 100):
            run = self.run_tool(seams={fault: call})
            if run.stderr != messages(LISTING_BROKEN + "\n"):
                return call - 1
            self.assertEqual(snapshot(self.dir), before, call)
        self.fail("every call failed the run")

    def test_a_listing_that_breaks_off_ends_the_run_untouched(self):
        # EIO from a read of the listing is no end of it.
        self.make("G0000005.pcx", "2020-01-01 00:00:00")
        self.make("G0000004.pcx", "2020-01-02 00:00:00")
        # Each pass reads two entries and the end, at least.
        self.assertGreaterEqual(self.failing_each_call_ends_the_run_untouched("LISTING_FAIL"), 4)

    @unittest.skipIf(WINDOWS, "the Windows listing carries the times")
    def test_a_screenshot_whose_time_cannot_be_read_ends_the_run_untouched(self):
        # Only "no such entry" means a file went since it was listed (see the
        # vanished files above); EIO leaves its place in the order unknown,
        # and leaving it out would give its number to another file.
        self.make("G0000007.pcx", "2020-01-01 00:00:00")
        self.make("G0000003.pcx", "2020-01-02 00:00:00")
        self.make("_tmp_5_G0000009.pcx", "2020-01-03 00:00:00")
        self.assertGreaterEqual(self.failing_each_call_ends_the_run_untouched("STAT_FAIL"), 3)


class SetsTooLargeToHandle(ToolTest):
    def test_more_than_ten_million_screenshots_are_refused_untouched(self):
        # Those at temporary names count too.
        self.make("G0000004.pcx", "2020-01-01 00:00:00")
        self.make("_tmp_1_G0000004.pcx", "2020-01-02 00:00:00")
        # Every entry is listed 5,000,001 times: 10,000,002 screenshots.
        run = self.run_tool(seams={"REPEAT": 5000001})
        self.assertEqual(run.stderr, messages(TOO_MANY + "\n"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["G0000004.pcx", "_tmp_1_G0000004.pcx"])

    @unittest.skipIf(SANITIZED, "the sanitizers reserve more address space than the limit allows")
    @unittest.skipIf(WINDOWS, "Wine itself needs more address space than the limit allows")
    def test_ten_million_are_taken_on_and_a_failed_allocation_ends_the_run_untouched(self):
        self.make("G0000004.pcx", "2020-01-01 00:00:00")
        self.make("G0000003.pcx", "2020-01-02 00:00:00")
        limit = 256 * 1024 * 1024

        def limit_memory():
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

        # Exactly 10,000,000 screenshots can be numbered, so the run goes on to
        # allocate their records, more than the process may have.
        run = self.run_tool(seams={"REPEAT": 5000000}, preexec_fn=limit_memory)
        self.assertEqual(run.stderr, messages(OUT_OF_MEMORY + "\n"))
        self.assertEqual(sorted(os.listdir(self.dir)), ["G0000003.pcx", "G0000004.pcx"])


if __name__ == "__main__":
    unittest.main()


class CommandLine(ToolTest):
    """The forms of the command line; a bare start is what every other test runs."""

    def shots(self, folder, *names):
        """Out-of-order screenshots in a new folder below the test's: the first
        name is the newest."""
        path = os.path.join(self.dir, folder)
        os.makedirs(path, exist_ok=True)
        for age, name in enumerate(names):
            make_file(path, name, ns_of("2020-01-02 00:00:00") - age * 10**9)
        return path

    def test_help_and_version_answer_on_stdout_at_once(self):
        self.shots(".", "G0000001.pcx", "G0000000.pcx")
        before = folder_state(self.dir)
        forms = [["-h"], ["--help"], ["-n", "--help", "--bogus"]] + ([["/?"]] if WINDOWS else [])
        for args in forms:
            run = self.run_tool(args=args)
            # No pause: the Windows build's prompt would be on standard output.
            self.assertEqual((run.returncode, run.stderr), (0, b""), args)
            self.assertTrue(run.stdout.startswith(messages("使い方: shotrenum")), run.stdout)
            self.assertIn(b"--dry-run", run.stdout)
        run = self.run_tool(args=["--version"])
        self.assertEqual((run.returncode, run.stdout, run.stderr), (0, b"shotrenum 1.1.0" + EOL, b""))
        run = self.run_tool(args=["--help"], locale="C.UTF-8")
        if not WINDOWS:
            self.assertTrue(run.stdout.startswith("使い方: shotrenum".encode()), run.stdout)
        self.assertEqual(folder_state(self.dir), before)

    def test_named_folders_are_renumbered_each_as_a_run_there_and_the_current_one_is_not(self):
        self.shots(".", "G0000001.pcx", "G0000000.pcx")
        first = self.shots("first", "G0000005.pcx", "G0000007.pcx")
        second = self.shots(os.path.join("sub", "second"), "G0000002.pcx", "G0000003.pcx", "G0000004.pcx")
        before = folder_state(self.dir)
        run = self.run_tool(args=["first", os.path.join(self.dir, "sub", "second")])
        self.assertEqual(run.returncode, 0)
        self.assertEqual(folder_state(self.dir), before)
        for folder, renamed in ((first, {"G0000007.pcx": "G0000000.pcx", "G0000005.pcx": "G0000001.pcx"}),
                                (second, {"G0000004.pcx": "G0000000.pcx", "G0000003.pcx": "G0000001.pcx",
                                          "G0000002.pcx": "G0000002.pcx"})):
            files = snapshot(folder)
            for old, new in renamed.items():
                self.assertEqual(files.pop(new), old.encode() + b" content")
            self.assertEqual(sorted(n[:13] for n in files), ["VeltraskoAll_", "VeltraskoLog_"])
        second_path = os.path.join(self.dir, "sub", "second")
        result_logs = [next(n for n in os.listdir(f) if n.startswith("VeltraskoLog_")) for f in (first, second)]
        self.assertEqual(run.stderr, messages(FOLDER_HEADING.format("first"), *progress_messages(2),
                                              run_summary(2, "first", result_logs[0]),
                                              FOLDER_HEADING.format(second_path), *progress_messages(3),
                                              run_summary(2, second_path, result_logs[1], handled=3, moved=3)))

    @unittest.skipIf(WINDOWS, "a typed undo command; on Windows a log is dropped")
    def test_the_undo_command_a_run_prints_runs_as_pasted(self):
        for folder in ("ゲーム/スクショ 2024", "it's $HOME & *"):
            with self.subTest(folder=folder):
                path = self.shots(folder, "G0000009.pcx", "G0000008.pcx")
                before = snapshot(path)
                run = self.run_tool(args=[folder], locale="C.UTF-8")
                self.assertEqual(run.returncode, 0)
                hint = run.stderr.decode("utf-8").splitlines()[-1]
                command = hint[hint.index("「") + 1:hint.rindex("」")]
                # The command as a user pastes it into a shell in the same folder.
                bin_dir = tempfile.mkdtemp(dir=self.dir)
                os.symlink(os.path.abspath(BIN), os.path.join(bin_dir, "shotrenum"))
                pasted = subprocess.run(["sh", "-c", command], cwd=self.dir, stdin=subprocess.DEVNULL,
                                        capture_output=True, timeout=60,
                                        env=dict(tool_environment(), PATH=bin_dir + os.pathsep + os.environ["PATH"]))
                self.assertEqual(pasted.returncode, 0, (command, pasted.stderr.decode("utf-8", "replace")))
                self.assertEqual({n: c for n, c in snapshot(path).items() if not n.startswith("Veltrasko")}, before)

    @unittest.skipUnless(WINDOWS, "a Japanese folder name through the UTF-16 command line")
    def test_a_folder_named_in_japanese_is_renumbered(self):
        folder = self.shots("スクショ", "G0000009.pcx", "G0000008.pcx")
        os.mkdir(os.path.join(self.dir, "空"))
        run = self.run_tool(args=["スクショ", "空"], locale="C.UTF-8")
        self.assertEqual(run.returncode, 0)
        self.assertEqual(snapshot(folder)["G0000000.pcx"], b"G0000008.pcx content")
        result_log = next(n for n in os.listdir(folder) if n.startswith("VeltraskoLog_"))
        self.assertEqual(snapshot(folder)["G0000001.pcx"], b"G0000009.pcx content")
        self.assertEqual(run.stderr, messages(FOLDER_HEADING.format("スクショ"), *progress_messages(2),
                                              run_summary(2, "スクショ", result_log), FOLDER_HEADING.format("空"),
                                              NOT_FOUND_IN.format("空")))

    def test_the_tool_named_as_the_preview_previews_folders_of_any_name(self):
        # The zip's drop target is a copy of the tool: started by that name
        # (any case, as Explorer starts it for a drop: every path whole, from
        # another current folder), each folder is previewed and nothing is
        # touched, whatever characters a command processor would read itself.
        names = ["A&B", "100%", "a^b", "hey!", "(1)", "with space", "スクショ"]
        dropped = [self.shots(name, "G0000000.pcx", "G0000001.pcx") for name in names]
        unpacked = os.path.join(self.dir, "ツール 1")
        os.mkdir(unpacked)
        copy = os.path.join(unpacked, "Shotrenum-Preview.exe" if WINDOWS else "shotrenum-preview")
        shutil.copy(BIN, copy)
        elsewhere = os.path.join(self.dir, "elsewhere")
        os.mkdir(elsewhere)
        before = folder_state(self.dir), *(folder_state(folder) for folder in dropped)
        given = [windows_path(folder) if WINDOWS else folder for folder in dropped]
        run = subprocess.run(RUNNER + [copy, *given], cwd=elsewhere, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=120, env=tool_environment(locale="C.UTF-8"))
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(run.stderr, messages(*(FOLDER_HEADING.format(path) + PREVIEW_DONE + SUMMARY_PREVIEW.format(2)
                                                for path in given)))
        self.assertEqual(run.stdout, (b"G0000001.pcx -> G0000000.pcx" + EOL + b"G0000000.pcx -> G0000001.pcx"
                                      + EOL) * len(names))
        self.assertEqual((folder_state(self.dir), *(folder_state(folder) for folder in dropped)), before)
        # By any other name, the same program renumbers.
        renamed = shutil.copy(BIN, os.path.join(unpacked, "shotrenum-preview2.exe" if WINDOWS else "preview"))
        run = subprocess.run(RUNNER + [renamed, given[0]], cwd=elsewhere, stdin=subprocess.DEVNULL,
                             capture_output=True, timeout=120, env=tool_environment(locale="C.UTF-8"))
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(snapshot(dropped[0])["G0000000.pcx"], b"G0000001.pcx content")

    def test_a_preview_lists_the_renames_and_touches_nothing(self):
        self.shots(".", "G0000053.pcx", "G0000001.pcx", "G0000000.pcx")
        stranded = temp_name(1700000000, "G0000007.pcx")
        self.make(stranded, "2020-01-03 00:00:00")
        before = folder_state(self.dir)
        for args in (["-n"], ["--dry-run", "."]):
            run = self.run_tool(args=args)
            self.assertEqual((run.returncode, run.stderr), (0, messages(PREVIEW_DONE, SUMMARY_PREVIEW.format(2))))
            self.assertEqual(run.stdout, standard_output(
                b"G0000053.pcx -> G0000002.pcx" + EOL + stranded.encode() + b" -> G0000003.pcx" + EOL, args=True))
            self.assertEqual(folder_state(self.dir), before)
        # What a run would say where it renames nothing.
        self.shots("ordered", "G0000001.pcx", "G0000000.pcx")
        os.mkdir(os.path.join(self.dir, "empty"))
        run = self.run_tool(args=["-n", "ordered", "empty"])
        self.assertEqual((run.returncode, run.stdout), (0, standard_output(args=True)))
        self.assertEqual(run.stderr, messages(FOLDER_HEADING.format("ordered"), IN_ORDER + "\n", FOLDER_HEADING.format("empty"),
                                              NOT_FOUND_IN.format("empty")))

    def test_a_preview_names_what_is_in_the_way_and_fails_as_the_run_would(self):
        # A folder at a target name (any letter case where names ignore it):
        # the run never renames over it, and leaves the file sent there at its
        # temporary name.
        self.shots(".", "G0000004.pcx", "G0000003.pcx", "G0000002.pcx", "G0000000.pcx")
        folder = "g0000001.PCX" if WINDOWS else "G0000001.pcx"
        os.mkdir(os.path.join(self.dir, folder))
        os.mkdir(os.path.join(self.dir, "G0000007.pcx"))  # beyond the set: no target of it
        before = folder_state(self.dir)
        run = self.run_tool(args=["-n"])
        self.assertEqual(run.stdout, standard_output(
            b"G0000002.pcx -> G0000001.pcx" + EOL + b"G0000003.pcx -> G0000002.pcx" + EOL
            + b"G0000004.pcx -> G0000003.pcx" + EOL, args=True))
        self.assertEqual((run.returncode, run.stderr),
                         (1, messages(PREVIEW_IN_THE_WAY.format("G0000002.pcx", folder), PREVIEW_DONE,
                                      SUMMARY_PREVIEW.format(2))))
        self.assertEqual(folder_state(self.dir), before)
        # The run it foretold.
        self.assertEqual(self.run_tool(args=["."]).returncode, 1)
        self.assertTrue(os.path.isdir(os.path.join(self.dir, folder)))
        self.assertTrue(any(name.startswith("_tmp_") and name.endswith("_G0000002.pcx") for name in os.listdir(self.dir)))

    @unittest.skipIf(WINDOWS, "Windows cannot tell whether a folder may be written without writing it")
    def test_a_preview_of_a_folder_that_may_not_be_written_fails(self):
        # Root passes every permission bit: a read-only mount refuses even root.
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m", "tmpfs", self.dir],
                          capture_output=True).returncode != 0:
            self.skipTest("cannot mount a file system here")
        self.addCleanup(subprocess.run, ["umount", self.dir])
        self.shots(".", "G0000000.pcx", "G0000001.pcx")
        subprocess.run(["mount", "-o", "remount,ro", self.dir], check=True)
        run = self.run_tool(args=["-n"])
        self.assertEqual(run.stdout, b"G0000001.pcx -> G0000000.pcx" + EOL + b"G0000000.pcx -> G0000001.pcx" + EOL)
        self.assertEqual((run.returncode, run.stderr),
                         (1, messages(PREVIEW_NO_WRITE, PREVIEW_DONE, SUMMARY_PREVIEW.format(0))))

    @unittest.skipIf(WINDOWS, "the folder lock is taken here through flock")
    def test_a_preview_says_when_another_run_is_working(self):
        self.shots(".", "G0000001.pcx", "G0000000.pcx")
        held = os.open(self.dir, os.O_RDONLY)
        self.addCleanup(os.close, held)
        fcntl.flock(held, fcntl.LOCK_EX)
        run = self.run_tool(args=["-n"])
        self.assertEqual((run.returncode, run.stdout, run.stderr), (1, b"", messages(ANOTHER_RUN + "\n")))

    def test_the_exit_status_tells_whether_everything_asked_was_done(self):
        # A folder at a target name: that rename fails. The run says so in
        # its status, in every form (with several folders, the worst).
        good = self.shots("good", "G0000001.pcx", "G0000000.pcx")
        blocked = self.shots("blocked", "G0000002.pcx", "G0000000.pcx")
        os.mkdir(os.path.join(blocked, "G0000001.pcx"))
        self.assertEqual(self.run_tool(args=["blocked", "good"]).returncode, 1)
        self.assertEqual(snapshot(good)["G0000000.pcx"], b"G0000000.pcx content")
        bare = run_tool(blocked)
        self.assertEqual((bare.returncode, bare.stdout), (1, standard_output()))
        # Its messages, then the same closing summary as a run with arguments.
        result_log = sorted(n for n in os.listdir(blocked) if n.startswith("VeltraskoLog_"))[-1]
        self.assertTrue(bare.stderr.endswith(messages(run_summary(0, ".", result_log, handled=2, moved=1, taken=1))),
                        bare.stderr)
        self.assertEqual(self.run_tool(args=["good"]).returncode, 0)  # in order now
        empty = os.path.join(self.dir, "empty")
        os.mkdir(empty)
        self.assertEqual(self.run_tool(args=["empty"]).returncode, 0)  # nothing found
        if not WINDOWS:
            # Another run holds the folder: nothing was done.
            held = os.open(good, os.O_RDONLY)
            self.addCleanup(os.close, held)
            fcntl.flock(held, fcntl.LOCK_EX)
            busy = self.run_tool(args=["good"])
            self.assertEqual((busy.returncode, busy.stderr), (1, messages(ANOTHER_RUN + "\n")))

    @unittest.skipIf(WINDOWS, "a Windows console is its own only when Explorer opens it")
    def test_a_form_with_arguments_never_waits_in_a_terminal(self):
        self.shots(".", "G0000000.pcx", "G0000001.pcx")
        shown, restored = run_on_terminal(self.dir, command=[BIN, "-n"])
        self.assertNotIn(PAUSE.strip().encode(), shown)
        self.assertIn(PREVIEW_DONE.strip().encode(), shown)
        self.assertTrue(restored)

    def test_a_bad_argument_refuses_the_whole_command_and_touches_nothing(self):
        self.shots(".", "G0000001.pcx", "G0000000.pcx")
        self.shots("good", "G0000001.pcx", "G0000000.pcx")
        self.make("notes.csv", "2020-01-01 00:00:00", "リネーム結果ログ\nsomething else\n".encode("cp932"))
        # A result log's head under a process log's name is no log of the tool.
        swapped = "VeltraskoAll_20200101000000.csv"
        self.make(swapped, "2020-01-01 00:00:00",
                  "リネーム結果ログ\n判定,リネーム前,リネーム後,更新日付,更新時刻\n".encode("cp932"))
        before = folder_state(self.dir)
        good_before = folder_state(os.path.join(self.dir, "good"))
        cases = [(["good", "--bogus"], "「--bogus」は不明なオプションです。\n"),
                 (["good", "missing"], "「missing」が見つかりません。\n"),
                 (["good", "notes.csv"],
                  "「notes.csv」はフォルダでもこのツールのログでもありません。\n" + LOG_WHY_ROW.format(2)),
                 (["good", swapped], f"「{swapped}」はフォルダでもこのツールのログでもありません。\n" + LOG_WHY_KIND),
                 (["good", "--undo", "good"], "「good」はこのツールのログではありません。\n"),
                 (["good", "--undo"], "「--undo」のあとに、元に戻す実行のログを指定してください。\n")]
        for args, message in cases:
            run = self.run_tool(args=args)
            self.assertEqual((run.returncode, run.stdout, run.stderr),
                             (2, standard_output(args=True), messages(message, REFUSED)), args)
        self.assertEqual(folder_state(self.dir), before)
        self.assertEqual(folder_state(os.path.join(self.dir, "good")), good_before)
