"""Writes the Japanese guide (README.ja.md) as README-ja.txt for the Windows
zip: plain text that reads well in Notepad, UTF-8 with a byte-order mark and
CR LF line ends, as Notepad on a Japanese Windows 10 or 11 reads it without
guessing. The Markdown becomes text: headings are underlined or marked with
■ and ◆, a table's rows become items with their cells below, bold text
stands in 【】, list items begin with ・, and the notes for the maintainers
(HTML comments) are left out.

    python3 packaging/guide_text.py README.ja.md README-ja.txt
"""

import re
import sys
import unicodedata


def width(text):
    """Columns `text` takes in a Japanese font: two for a wide character."""
    return sum(2 if unicodedata.east_asian_width(c) in "WFA" else 1 for c in text)


def inline(text):
    text = re.sub(r"\*\*(.+?)\*\*", r"【\1】", text)
    text = re.sub(r"`([^`]+)`", r"\1", text)
    return re.sub(r"\[([^\]]+)\]\(([^)]+)\)", r"\1（\2）", text)


def plain(markdown):
    markdown = re.sub(r"<!--.*?-->\n?", "", markdown, flags=re.S)
    out = []
    for line in markdown.split("\n"):
        heading = re.match(r"(#+) (.*)", line)
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")] if line.startswith("|") else None
        if heading:
            level, title = len(heading[1]), inline(heading[2])
            out += [title, "=" * width(title)] if level == 1 else [("■ " if level == 2 else "◆ ") + title]
        elif cells is not None:
            if all(re.fullmatch(r":?-+:?", cell) for cell in cells):
                out.pop()  # the header row above: the items say what they are
            else:
                out += ["・" + inline(cells[0])] + ["    " + inline(cell) for cell in cells[1:]]
        elif re.match(r"( *)- ", line):
            out.append(re.sub(r"^( *)- ", r"\1・", inline(line)))
        elif line.startswith("    "):
            out.append(line)  # an example command, as it is typed
        else:
            out.append(inline(line))
    return "\n".join(out)


def main(source, target):
    with open(source, encoding="utf-8") as guide:
        text = plain(guide.read())
    with open(target, "w", encoding="utf-8-sig", newline="\r\n") as out:
        out.write(text)


if __name__ == "__main__":
    main(*sys.argv[1:])
