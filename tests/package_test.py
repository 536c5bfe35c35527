"""The release packages scripts/package.sh leaves in dist/ and what
`cmake --install` installs: their files, stripped programs that run, the .exe's
version information and manifest, texts Notepad reads; and scripts/demo.sh
leaving a folder that is not empty alone.
Run after scripts/package.sh: python3 tests/package_test.py -v
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from tool import (ANOTHER_RUN, FOLDER_CHANGED, IN_ORDER, LISTING_BROKEN, LOG_INCOMPLETE, LOG_LOST,  # noqa: E402
                  NOT_FOUND, OUT_OF_MEMORY, PAUSE, TOO_MANY, WINDOWS_PAUSE, make_file, sjis, snapshot)

VERSION = re.search(r"project\(shotrenum VERSION ([0-9.]+)", open(os.path.join(ROOT, "CMakeLists.txt")).read())[1]
WINE = "/usr/lib/wine/wine64"
LINUX_FILES = {"bin/shotrenum"} | {"share/doc/shotrenum/" + doc
                                   for doc in ("README.md", "README.ja.md", "CHANGELOG.md", "LICENSE")}


def dist(name):
    return os.path.join(ROOT, "dist", name.format(VERSION))


def files_below(directory):
    return {os.path.relpath(os.path.join(top, name), directory) for top, _, names in os.walk(directory)
            for name in names}


class Packages(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="shotrenum-package-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def run_in_empty_folder(self, command, env=()):
        """A packaged program run where there is nothing to do."""
        empty = tempfile.mkdtemp(dir=self.dir)
        run = subprocess.run(command, cwd=empty, stdin=subprocess.DEVNULL, capture_output=True, timeout=300,
                             env=dict(os.environ, LANG="C", LC_ALL="C", **dict(env)))
        return run.returncode, run.stdout, run.stderr

    def test_linux_tarball_deb_and_install_hold_the_tool_and_its_documents(self):
        trees = {name: os.path.join(self.dir, name) for name in ("tar", "deb", "install")}
        with tarfile.open(dist("shotrenum-{}-linux-x86_64.tar.gz")) as tar:
            tar.extractall(trees["tar"])
        trees["tar"] = os.path.join(trees["tar"], f"shotrenum-{VERSION}-linux-x86_64")
        deb = dist("shotrenum_{}_amd64.deb")
        subprocess.run(["dpkg-deb", "-x", deb, trees["deb"]], check=True)
        trees["deb"] = os.path.join(trees["deb"], "usr")
        subprocess.run(["cmake", "--install", os.path.join(ROOT, "build"), "--prefix", trees["install"]],
                       check=True, capture_output=True)
        for kind, tree in trees.items():
            self.assertEqual(files_below(tree), LINUX_FILES, kind)
            tool = os.path.join(tree, "bin", "shotrenum")
            sections = subprocess.run(["readelf", "-S", tool], capture_output=True, text=True, check=True).stdout
            self.assertNotIn(".symtab", sections, f"{kind}: not stripped")
            self.assertEqual(self.run_in_empty_folder([tool]), (0, b"", sjis(NOT_FOUND + "\n")), kind)
        fields = subprocess.run(["dpkg-deb", "-f", deb, "Package", "Version", "Architecture", "Section"],
                                capture_output=True, text=True, check=True).stdout
        self.assertEqual(fields.split(), ["Package:", "shotrenum", "Version:", VERSION, "Architecture:", "amd64",
                                          "Section:", "utils"])

    def test_windows_zip_holds_a_stripped_exe_that_runs_and_texts_notepad_reads(self):
        with zipfile.ZipFile(dist("shotrenum-{}-windows-x64.zip")) as archive:
            self.assertEqual(sorted(archive.namelist()), ["LICENSE", "README-ja.txt", "shotrenum.exe"])
            guide, license_text, exe = (archive.read(n) for n in ("README-ja.txt", "LICENSE", "shotrenum.exe"))
            archive.extract("shotrenum.exe", self.dir)
        self.assertTrue(guide.startswith(b"\xef\xbb\xbf"), "UTF-8 byte-order mark")
        for text in (guide, license_text):
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), "CR LF line ends only")
        self.assertNotIn("<!--", guide.decode("utf-8"))
        # The guide explains every message the tool shows.
        for message in (NOT_FOUND, IN_ORDER, TOO_MANY, FOLDER_CHANGED, OUT_OF_MEMORY, LISTING_BROKEN, ANOTHER_RUN,
                        PAUSE.rstrip(), *(text.format("").rstrip("\n") for text in (LOG_INCOMPLETE, LOG_LOST))):
            self.assertIn(message, guide.decode("utf-8"))
        coff = int.from_bytes(exe[0x3C:0x40], "little") + 4  # the COFF header's symbol count
        self.assertEqual(int.from_bytes(exe[coff + 12:coff + 16], "little"), 0, "not stripped")
        # Version information as windres stored it: the numbers, UTF-16 strings (a
        # .rc read in the wrong code page garbles the Japanese), and the manifest.
        fixed = exe.index((0xFEEF04BD).to_bytes(4, "little"))
        major, minor, patch = map(int, VERSION.split("."))
        self.assertEqual(struct.unpack_from("<8H", exe, fixed + 8), (minor, major, 0, patch) * 2)
        for text in ("スクリーンショットのファイル名を撮影順の連番に付け直すツール", VERSION, "shotrenum",
                     "Copyright © 2026 The shotrenum developers"):
            self.assertIn(text.encode("utf-16-le") + b"\0\0", exe)
        self.assertIn(b'<requestedExecutionLevel level="asInvoker"', exe)
        self.assertIn(b'<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>', exe)  # Windows 10 and 11

        wine = {"WINEPREFIX": os.path.join(self.dir, "wine-prefix"), "WINEDEBUG": "-all"}
        prefix = ["sh", os.path.join(ROOT, "tests", "wine_prefix.sh")]
        subprocess.run(prefix + ["create", WINE], env=dict(os.environ, **wine), check=True)
        self.addCleanup(subprocess.run, prefix + ["remove", WINE], env=dict(os.environ, **wine))
        self.assertEqual(self.run_in_empty_folder([WINE, os.path.join(self.dir, "shotrenum.exe")], wine.items()),
                         (0, WINDOWS_PAUSE, sjis(NOT_FOUND + "\r\n")))

    def test_demo_refuses_a_path_that_is_not_an_empty_folder_and_changes_nothing(self):
        folder = os.path.join(self.dir, "shots")
        os.mkdir(folder)
        make_file(folder, "G0000005.pcx", 10**18)
        make_file(folder, "notes.txt", 2 * 10**18)

        def state():
            return snapshot(folder), {n: os.stat(os.path.join(folder, n)).st_mtime_ns for n in os.listdir(folder)}

        before = state()
        for path in (folder, os.path.join(folder, "notes.txt")):
            code, _, stderr = self.run_in_empty_folder(["bash", os.path.join(ROOT, "scripts", "demo.sh"), path])
            self.assertNotEqual(code, 0, path)
            self.assertIn(b"nothing was changed", stderr)
            self.assertEqual(state(), before)


if __name__ == "__main__":
    unittest.main()
