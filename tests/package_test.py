"""Checks the release packages that scripts/package.sh leaves in dist/, and
what `cmake --install` installs from build/: which files each holds, that the
programs in them are stripped and run, and that the Windows texts are what
Notepad reads as they are; and that scripts/demo.sh leaves a folder that is
not empty alone. Run after scripts/package.sh:

    python3 tests/package_test.py -v
"""

import os
import re
import shutil
import stat
import subprocess
import sys
import tarfile
import tempfile
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from tool import (FOLDER_CHANGED, IN_ORDER, NOT_FOUND, OUT_OF_MEMORY, PAUSE, TOO_MANY, WINDOWS_PAUSE,  # noqa: E402
                  make_file, sjis, snapshot)

DIST = os.path.join(ROOT, "dist")
WINE = "/usr/lib/wine/wine64"
VERSION = re.search(r"project\(shotrenum VERSION ([0-9.]+)", open(os.path.join(ROOT, "CMakeLists.txt")).read())[1]
DOCS = {"README.md", "README.ja.md", "CHANGELOG.md", "LICENSE"}
LINUX_FILES = {"bin/shotrenum"} | {"share/doc/shotrenum/" + doc for doc in DOCS}


def package(name):
    path = os.path.join(DIST, name)
    if not os.path.exists(path):
        raise AssertionError(f"{path} is missing (run scripts/package.sh first)")
    return path


def files_below(directory):
    """The relative paths of the files below a directory."""
    return {os.path.relpath(os.path.join(top, name), directory) for top, _, names in os.walk(directory)
            for name in names}


class PackageTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="shotrenum-package-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    def run_in_empty_folder(self, command, env=None):
        """Runs a packaged program in a new empty folder: it must find nothing."""
        folder = tempfile.mkdtemp(dir=self.dir)
        env = dict(os.environ, LANG="C", LC_ALL="C", **(env or {}))
        return subprocess.run(command, cwd=folder, stdin=subprocess.DEVNULL, capture_output=True, env=env,
                              timeout=300)

    def assertLinuxToolWorks(self, binary):
        self.assertTrue(os.stat(binary).st_mode & stat.S_IXUSR, binary)
        sections = subprocess.run(["readelf", "-S", binary], capture_output=True, text=True, check=True).stdout
        self.assertNotIn(".symtab", sections, "not stripped")
        run = self.run_in_empty_folder([binary])
        self.assertEqual((run.returncode, run.stdout, run.stderr), (0, b"", sjis(NOT_FOUND + "\n")))


class LinuxPackages(PackageTest):
    def test_tarball_holds_the_tool_and_its_documents(self):
        with tarfile.open(package(f"shotrenum-{VERSION}-linux-x86_64.tar.gz")) as tar:
            tar.extractall(self.dir)
        top = os.path.join(self.dir, f"shotrenum-{VERSION}-linux-x86_64")
        self.assertEqual(files_below(top), LINUX_FILES)
        self.assertLinuxToolWorks(os.path.join(top, "bin", "shotrenum"))

    def test_debian_package_installs_below_usr(self):
        deb = package(f"shotrenum_{VERSION}_amd64.deb")

        def field(name):
            return subprocess.run(["dpkg-deb", "-f", deb, name], capture_output=True, text=True,
                                  check=True).stdout.strip()

        self.assertEqual([field(f) for f in ("Package", "Version", "Architecture", "Section")],
                         ["shotrenum", VERSION, "amd64", "utils"])
        self.assertTrue(field("Maintainer"))
        self.assertIn("libc6", field("Depends"))
        self.assertIn("capture order", field("Description"))
        subprocess.run(["dpkg-deb", "-x", deb, self.dir], check=True)
        self.assertEqual(files_below(os.path.join(self.dir, "usr")), LINUX_FILES)
        self.assertLinuxToolWorks(os.path.join(self.dir, "usr", "bin", "shotrenum"))

    def test_cmake_install_installs_the_tool_and_its_documents(self):
        build = os.path.join(ROOT, "build")
        subprocess.run(["cmake", "--install", build, "--prefix", self.dir], check=True, capture_output=True)
        self.assertEqual(files_below(self.dir), LINUX_FILES)


class WindowsPackage(PackageTest):
    def setUp(self):
        super().setUp()
        with zipfile.ZipFile(package(f"shotrenum-{VERSION}-windows-x64.zip")) as archive:
            self.assertEqual(sorted(archive.namelist()), ["LICENSE", "README-ja.txt", "shotrenum.exe"])
            archive.extractall(self.dir)

    def read(self, name):
        with open(os.path.join(self.dir, name), "rb") as f:
            return f.read()

    def assertNotepadText(self, data):
        """CR LF line ends only, no Markdown comment, and UTF-8."""
        self.assertEqual(data.count(b"\n"), data.count(b"\r\n"))
        self.assertNotIn(b"<!--", data)
        return data.decode("utf-8")

    def test_texts_are_utf8_with_bom_and_cr_lf(self):
        guide = self.read("README-ja.txt")
        self.assertTrue(guide.startswith(b"\xef\xbb\xbf"), "UTF-8 byte-order mark")
        text = self.assertNotepadText(guide)
        # The guide explains every message the tool can show.
        for message in (NOT_FOUND, IN_ORDER, TOO_MANY, FOLDER_CHANGED, OUT_OF_MEMORY, PAUSE.rstrip()):
            self.assertIn(message, text)
        self.assertIn("MIT License", self.assertNotepadText(self.read("LICENSE")))

    def test_exe_is_stripped_and_runs_under_wine(self):
        exe = self.read("shotrenum.exe")
        coff = int.from_bytes(exe[0x3C:0x40], "little") + 4
        self.assertEqual(exe[coff - 4:coff], b"PE\0\0")
        self.assertEqual(int.from_bytes(exe[coff + 12:coff + 16], "little"), 0, "COFF symbols: not stripped")
        prefix = os.path.join(self.dir, "wine-prefix")
        wine_env = {"WINEPREFIX": prefix, "WINEDEBUG": "-all"}
        prefix_script = os.path.join(ROOT, "tests", "wine_prefix.sh")
        subprocess.run(["sh", prefix_script, "create", WINE], env=dict(os.environ, **wine_env), check=True)
        self.addCleanup(subprocess.run, ["sh", prefix_script, "remove", WINE], env=dict(os.environ, **wine_env))
        run = self.run_in_empty_folder([WINE, os.path.join(self.dir, "shotrenum.exe")], wine_env)
        self.assertEqual((run.returncode, run.stdout, run.stderr),
                         (0, WINDOWS_PAUSE, sjis(NOT_FOUND + "\r\n")))


class DemoScript(PackageTest):
    def test_a_path_that_is_not_an_empty_folder_is_refused_untouched(self):
        make_file(self.dir, "G0000005.pcx", 10**18)
        make_file(self.dir, "notes.txt", 2 * 10**18)

        def state():
            times = {name: os.stat(os.path.join(self.dir, name)).st_mtime_ns for name in os.listdir(self.dir)}
            return snapshot(self.dir), times

        before = state()
        for path in (self.dir, os.path.join(self.dir, "notes.txt")):
            run = subprocess.run(["bash", os.path.join(ROOT, "scripts", "demo.sh"), path], stdin=subprocess.DEVNULL,
                                 capture_output=True, timeout=60)
            self.assertNotEqual(run.returncode, 0, path)
            self.assertIn(b"nothing was changed", run.stderr)
            self.assertEqual(state(), before)


if __name__ == "__main__":
    unittest.main()
