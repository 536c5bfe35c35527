"""The release packages scripts/package.sh leaves in dist/ and what
`cmake --install` installs: their files, stripped programs that run, the .exe's
version information and manifest, texts Notepad reads, lintian's verdict on
the .deb, the manual page, SHA256SUMS, two more builds giving the same bytes,
a README and guides that tell the truth about them; and scripts/demo.sh
leaving a folder that is not empty alone.
Run after scripts/package.sh: python3 tests/package_test.py -v
"""

import gzip
import hashlib
import io
import os
import re
import shutil
import struct
import subprocess
import sys
import tarfile
import tempfile
import time
import unicodedata
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from tool import NOT_FOUND, WINDOWS_PAUSE, make_file, sjis, snapshot  # noqa: E402

VERSION = re.search(r"project\(shotrenum VERSION ([0-9.]+)", open(os.path.join(ROOT, "CMakeLists.txt")).read())[1]
WINE = "/usr/lib/wine/wine64"
PACKAGES = ("shotrenum-{}-windows-x64.zip", "shotrenum-{}-linux-x86_64.tar.gz", "shotrenum_{}_amd64.deb")
MAN_PAGE = "share/man/man1/shotrenum.1.gz"
DOCS = "share/doc/shotrenum/"
COMMON_FILES = {"bin/shotrenum", MAN_PAGE}
DOCUMENTS = {DOCS + doc for doc in ("README.md", "README.ja.md", "CHANGELOG.md", "LICENSE")}
# The .deb holds the license as Debian's copyright file and the changes as
# Debian's changelog, and gzips the documents over 4 KiB.
LINUX_FILES = {"tar": COMMON_FILES | DOCUMENTS, "install": COMMON_FILES | DOCUMENTS,
               "deb": COMMON_FILES | {DOCS + doc for doc in ("README.md.gz", "README.ja.md.gz", "copyright",
                                                            "changelog.gz")}}


def read(*path):
    with open(os.path.join(ROOT, *path), encoding="utf-8") as file:
        return file.read()


def message_pieces(leave_out=()):
    """Every fixed text the tool shows (src/texts.cpp, but for the usage text
    that --help prints and the texts named), cut where a number, a name or a
    line end goes in."""
    pieces = set()
    for name, literals in re.findall(r'const char (k\w+)\[\] =\s*((?:"(?:[^"\\]|\\.)*"\s*)+);',
                                     read("src", "texts.cpp")):
        if name == "kUsage" or name in leave_out:
            continue
        text = "".join(re.findall(r'"((?:[^"\\]|\\.)*)"', literals)).replace("\\n", "\n")
        pieces |= {piece.strip() for piece in re.split(r"%s|%ld|\n", text) if piece.strip()}
    return pieces


def man_source_text():
    """docs/shotrenum.1 as its words read: break points and escapes taken out."""
    return read("docs", "shotrenum.1").replace("\\:", "").replace("\\&", "").replace("\\-", "-")


# Texts only the Linux build shows.
LINUX_ONLY_TEXTS = ("kUndoHintCommand",)


def guide_text_of_readme():
    """README-ja.txt as packaging/guide_text.py makes it from README.ja.md."""
    sys.path.insert(0, os.path.join(ROOT, "packaging"))
    import guide_text
    return guide_text.plain(read("README.ja.md")).replace("\n", "\r\n")


def columns(line):
    """Columns `line` takes in Notepad's Japanese font: two for a wide
    character (an ambiguous one is wide there too)."""
    return sum(2 if unicodedata.east_asian_width(c) in "WFA" else 1 for c in line)


def dist(name):
    return os.path.join(ROOT, "dist", name.format(VERSION))


def files_below(directory):
    return {os.path.relpath(os.path.join(top, name), directory) for top, _, names in os.walk(directory)
            for name in names}


class WindowsGuide(unittest.TestCase):
    """README-ja.txt, made from README.ja.md with no package built."""

    def test_lines_fit_80_columns_and_only_windows_matters(self):
        text = guide_text_of_readme()
        lines = text.split("\r\n")
        self.assertEqual([line for line in lines if columns(line) > 80], [])
        for linux in ("Linux", "shotrenum --undo", "iconv", "ターミナル", "端末"):
            self.assertNotIn(linux, text)
        # A message broken across lines is broken between two characters, no
        # space lost or added, and never inside a file name.
        unbroken = re.sub(r"\r\n *", "", text)
        self.assertEqual({piece for piece in message_pieces(LINUX_ONLY_TEXTS) if piece not in unbroken}, set())
        for name in ("shotrenum-preview.exe", "VeltraskoLog_20261208221500.csv", "_tmp_1796000000_G0000007.pcx"):
            self.assertIn(name, text)
        # The zip's steps: the preview is its own program, nothing needs to
        # stay beside anything.
        self.assertNotIn("shotrenum-preview.cmd", text)
        self.assertNotIn("置いたままに", text)


    def test_a_long_line_breaks_only_where_japanese_text_may(self):
        sys.path.insert(0, os.path.join(ROOT, "packaging"))
        import guide_text
        cases = {"a file name across column 80": "・" + "あ" * 34 + "VeltraskoLog_20261208221500.csv",
                 "a full stop after column 80": "あ" * 40 + "。" + "い" * 10,
                 "a space at column 80": "あ" * 39 + "x . . . " + "い" * 10,
                 "an opening bracket at column 80": "あ" * 39 + "「" + "い" * 10 + "」"}
        for what, line in cases.items():
            with self.subTest(what):
                lines = guide_text.wrapped(line, 2)
                self.assertGreater(len(lines), 1)
                self.assertEqual(lines[0] + "".join(later[2:] for later in lines[1:]), line)
                for before, after in zip(lines, lines[1:]):
                    self.assertLessEqual(columns(before), 80)
                    self.assertEqual(after[:2], "  ")
                    last, first = before[-1], after[2]
                    self.assertFalse(last.isspace() or first.isspace(), (before, after))
                    self.assertFalse(last.isascii() and first.isascii(), (before, after))
                    self.assertNotIn(first, "。、」")
                    self.assertNotIn(last, "「（")


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
            self.assertEqual(files_below(tree), LINUX_FILES[kind], kind)
            # The manual page as Debian wants it: gzip -9n, no name or time in its header.
            with open(os.path.join(tree, MAN_PAGE), "rb") as packed:
                header = packed.read(10)
            self.assertEqual((header[3], header[4:8], header[8]), (0, bytes(4), 2), f"{kind}: gzip -9n")
            with gzip.open(os.path.join(tree, MAN_PAGE)) as page:
                self.assertEqual(page.read().decode(), read("docs", "shotrenum.1"), kind)
            tool = os.path.join(tree, "bin", "shotrenum")
            sections = subprocess.run(["readelf", "-S", tool], capture_output=True, text=True, check=True).stdout
            self.assertNotIn(".symtab", sections, f"{kind}: not stripped")
            self.assertEqual(self.run_in_empty_folder([tool]), (0, b"", (NOT_FOUND + "\n").encode()), kind)
            self.assertEqual(self.run_in_empty_folder([tool, "--version"]), (0, f"shotrenum {VERSION}\n".encode(), b""),
                             kind)
        # The .deb's documents: none over 4 KiB left uncompressed, each gzipped
        # one the source's bytes, and one changelog with an entry per release.
        for name in os.listdir(os.path.join(trees["deb"], DOCS)):
            path = os.path.join(trees["deb"], DOCS, name)
            if not name.endswith(".gz"):
                self.assertLessEqual(os.path.getsize(path), 4096, name)
            elif name != "changelog.gz":
                with gzip.open(path) as packed:
                    self.assertEqual(packed.read().decode(), read(name[:-3]), name)
        with gzip.open(os.path.join(trees["deb"], DOCS, "changelog.gz")) as changelog:
            entries = re.findall(r"^shotrenum \(([0-9.]+)\) unstable; urgency=medium$", changelog.read().decode(), re.M)
        self.assertEqual(entries, re.findall(r"^## \[([0-9.]+)\] - ", read("CHANGELOG.md"), re.M))
        fields = subprocess.run(["dpkg-deb", "-f", deb, "Package", "Version", "Architecture", "Section"],
                                capture_output=True, text=True, check=True).stdout
        self.assertEqual(fields.split(), ["Package:", "shotrenum", "Version:", VERSION, "Architecture:", "amd64",
                                          "Section:", "utils"])

    def test_windows_zip_holds_a_stripped_exe_that_runs_and_texts_notepad_reads(self):
        with zipfile.ZipFile(dist("shotrenum-{}-windows-x64.zip")) as archive:
            self.assertEqual(sorted(archive.namelist()),
                             ["LICENSE", "README-ja.txt", "shotrenum-preview.exe", "shotrenum.exe"])
            guide, license_text, drop_target, exe = (
                archive.read(n) for n in ("README-ja.txt", "LICENSE", "shotrenum-preview.exe", "shotrenum.exe"))
            archive.extract("shotrenum.exe", self.dir)
        self.assertTrue(guide.startswith(b"\xef\xbb\xbf"), "UTF-8 byte-order mark")
        for text in (guide, license_text):
            self.assertEqual(text.count(b"\n"), text.count(b"\r\n"), "CR LF line ends only")
        # The preview's drop target is the tool itself, which previews by that name.
        self.assertEqual(drop_target, exe)
        self.assertNotIn(".cmd", guide.decode("utf-8"))
        # Plain text: none of Markdown's marks, which Notepad would show as they are.
        text = guide.decode("utf-8-sig")
        for mark in ("<!--", "**", "`", "|---", "]("):
            self.assertNotIn(mark, text)
        self.assertEqual(re.findall(r"^#.*", text, re.M), [], "Markdown headings")
        # The guide explains every message the Windows tool shows, spelt as the
        # tool spells it (a message may be broken across lines).
        self.assertEqual(text, guide_text_of_readme())
        unbroken = re.sub(r"\r\n *", "", text)
        missing = {piece for piece in message_pieces(LINUX_ONLY_TEXTS) if piece not in unbroken}
        self.assertEqual(missing, set(), "messages the guide does not explain")
        self.assertNotIn("フォルダー", guide.decode("utf-8"))
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
        exe = os.path.join(self.dir, "shotrenum.exe")
        self.assertEqual(self.run_in_empty_folder([WINE, exe], wine.items()),
                         (0, WINDOWS_PAUSE, sjis(NOT_FOUND + "\r\n")))
        self.assertEqual(self.run_in_empty_folder([WINE, exe, "--version"], wine.items()),
                         (0, f"shotrenum {VERSION}\r\n".encode(), b""))

    def test_deb_passes_lintian_and_carries_the_license_as_copyright(self):
        run = subprocess.run(["lintian", "-I", "--pedantic", dist("shotrenum_{}_amd64.deb")],
                             capture_output=True, text=True, timeout=600)
        # No error, no warning, and none of the infos it gave before (hardening, a
        # section for the compilers' notes, a license file beside the copyright).
        self.assertEqual([line for line in run.stdout.splitlines() if line[:2] in ("E:", "W:", "I:")], [])
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        copyright_text = subprocess.run(["dpkg-deb", "--fsys-tarfile", dist("shotrenum_{}_amd64.deb")],
                                        capture_output=True, check=True).stdout
        with tarfile.open(fileobj=io.BytesIO(copyright_text)) as data:
            copyright_text = data.extractfile("./usr/share/doc/shotrenum/copyright").read().decode()
        license_body = read("LICENSE").split("\n\n", 2)[2]  # after the title and the copyright line
        stanza = copyright_text.split("License: Expat\n", 1)[1]
        self.assertEqual("\n".join("" if line == " ." else line[1:] for line in stanza.splitlines()) + "\n",
                         license_body)

    def test_manual_page_renders_without_warnings_and_explains_every_message(self):
        page = os.path.join(ROOT, "docs", "shotrenum.1")
        run = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, timeout=60,
                             env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8", MAN_KEEP_FORMATTING=""))
        self.assertEqual((run.returncode, run.stderr.decode()), (0, ""))
        rendered = run.stdout.decode()
        for section in ("SYNOPSIS", "COMMANDS", "AFTER AN INTERRUPTION OR A FAILURE", "FILES", "EXIT STATUS",
                        "DIAGNOSTICS", "EXAMPLES", "SEE ALSO"):
            self.assertIn("\n" + section + "\n", rendered)
        for form in ("--dry-run", "--undo", "--help", "--version", "/?", "hh:mm:ss:cc"):
            self.assertIn(form, rendered)
        self.assertIn(f'"shotrenum {VERSION}"', read("docs", "shotrenum.1").split("\n.SH")[0], ".TH names the version")
        for document, text in (("manual page", man_source_text()), ("README.md", read("README.md"))):
            missing = {piece for piece in message_pieces() if piece not in text}
            self.assertEqual(missing, set(), f"messages the {document} does not explain")

    def test_sha256sums_names_the_three_packages_with_their_hashes(self):
        with open(dist("SHA256SUMS")) as sums:
            listed = dict(reversed(line.rstrip("\n").split("  ", 1)) for line in sums)
        self.assertEqual(set(listed), {name.format(VERSION) for name in PACKAGES})
        for name, digest in listed.items():
            with open(dist(name), "rb") as package:
                self.assertEqual(hashlib.sha256(package.read()).hexdigest(), digest, name)

    def test_two_builds_of_the_tree_give_the_same_packages_as_dist(self):
        epoch = int(subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, capture_output=True, text=True,
                                   check=True).stdout)
        builds = []
        # The second build in another zone and with another umask: neither may show.
        for build, zone, umask in (("one", "UTC", 0o022), ("two", "Asia/Tokyo", 0o077)):
            out = os.path.join(self.dir, build)
            env = {k: v for k, v in os.environ.items() if k != "SOURCE_DATE_EPOCH"}
            subprocess.run(["bash", os.path.join(ROOT, "scripts", "package.sh"), out], check=True, capture_output=True,
                           env=dict(env, TZ=zone), preexec_fn=lambda umask=umask: os.umask(umask))
            builds.append(os.path.join(out, "dist"))
        for name in (*PACKAGES, "SHA256SUMS"):
            digests = []  # sha256 of each
            for folder in (*builds, os.path.join(ROOT, "dist")):
                with open(os.path.join(folder, name.format(VERSION)), "rb") as package:
                    digests.append(hashlib.sha256(package.read()).hexdigest())
            self.assertEqual(digests[0], digests[1], f"{name}: two builds differ")
            self.assertEqual(digests[0], digests[2], f"{name}: dist/ is not what this tree builds")
        # Entries in name order, each at the commit's time.
        with zipfile.ZipFile(dist(PACKAGES[0])) as archive:
            infos = archive.infolist()
        self.assertEqual([i.filename for i in infos], sorted(i.filename for i in infos))
        self.assertEqual({i.date_time for i in infos}, {time.gmtime(epoch - epoch % 2)[:6]})  # zips keep 2 s steps
        deb_data = subprocess.run(["dpkg-deb", "--fsys-tarfile", dist(PACKAGES[2])], capture_output=True,
                                  check=True).stdout
        for package, archive in ((PACKAGES[1], tarfile.open(dist(PACKAGES[1]))),
                                 (PACKAGES[2], tarfile.open(fileobj=io.BytesIO(deb_data)))):
            with archive:
                members = archive.getmembers()
            names = [m.name.rstrip("/") for m in members]
            self.assertEqual(names, sorted(names), package)
            self.assertEqual({(m.mtime, m.uname, m.gname) for m in members}, {(epoch, "root", "root")}, package)

    def test_readme_names_the_real_imports_and_paths_and_the_version_is_one(self):
        readme = read("README.md")
        with zipfile.ZipFile(dist("shotrenum-{}-windows-x64.zip")) as archive:
            archive.extract("shotrenum.exe", self.dir)
        headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", os.path.join(self.dir, "shotrenum.exe")],
                                 capture_output=True, text=True, check=True).stdout
        imports = set(re.findall(r"DLL Name: (\S+)", headers))
        self.assertEqual(set(re.findall(r"`(\w+\.dll)`", readme)), imports, "the DLLs README.md names")
        with tarfile.open(dist("shotrenum-{}-linux-x86_64.tar.gz")) as tar:
            self.assertIn(f"shotrenum-{VERSION}-linux-x86_64/bin/shotrenum", tar.getnames())
            tar.extract(f"shotrenum-{VERSION}-linux-x86_64/bin/shotrenum", self.dir)
        # The glibc the README names: the newest symbol version the tool asks for.
        symbols = subprocess.run(["objdump", "-T", os.path.join(self.dir, f"shotrenum-{VERSION}-linux-x86_64", "bin",
                                                                "shotrenum")], capture_output=True, text=True,
                                 check=True).stdout
        newest = max(set(re.findall(r"\bGLIBC_([0-9.]+)", symbols)), key=lambda v: tuple(map(int, v.split("."))))
        self.assertRegex(readme, rf"glibc\s+{re.escape(newest)}\s+or\s+later")
        for named in (f"shotrenum-{VERSION}-linux-x86_64/bin/shotrenum", *(p.format(VERSION) for p in PACKAGES)):
            self.assertIn(named, readme)
        self.assertIn(f"## [{VERSION}] - ", read("CHANGELOG.md"))
        self.assertIn("docs/development.md", readme)

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
