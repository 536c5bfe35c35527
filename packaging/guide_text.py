"""Writes the Japanese guide (README.ja.md) as README-ja.txt for the Windows
zip: plain text that reads well in Notepad, UTF-8 with a byte-order mark and
CR LF line ends, as Notepad on a Japanese Windows 10 or 11 reads it without
guessing. The Markdown becomes text: headings are underlined or marked with
■ and ◆, a table's rows become items with their cells below, bold text
stands in 【】, list items begin with ・, and the notes for the maintainers
(HTML comments) are left out, and so is what only a Linux user needs (between
<!-- linux --> and <!-- /linux -->, which the Markdown shows). Every line
takes at most 80 columns, a wide character two: a longer one is broken where
Japanese text may break (never inside a run of Latin letters or digits,
never at a space, never before a closing mark or after an opening one), its
further lines indented as far as its text begins.

    python3 packaging/guide_text.py README.ja.md README-ja.txt
"""

import re
import sys
import unicodedata


def width(text):
    """Columns `text` takes in a Japanese font: two for a wide character."""
    return sum(2 if unicodedata.east_asian_width(c) in "WFA" else 1 for c in text)


COLUMNS = 80
# Marks a line may not begin with, and marks it may not end with.
NO_START = set("、。，．・：；？！ー）」』】〕）｝〉》…‥ぁぃぅぇぉっゃゅょァィゥェォッャュョ,.:;?!)]}")
NO_END = set("（「『【〔（｛〈《([{")


def breakable(before, after):
    """Whether a line may be broken between the two characters."""
    if before.isspace() or after.isspace() or after in NO_START or before in NO_END:
        return False
    latin = lambda c: c.isascii() and not c.isspace()  # noqa: E731
    return not (latin(before) and latin(after))


def wrapped(line, indent):
    """`line` in lines of at most COLUMNS columns; each further line begins
    with `indent` spaces."""
    out = []
    while width(line) > COLUMNS:
        fits, used = 0, 0
        while width(line[fits]) + used <= COLUMNS:
            used += width(line[fits])
            fits += 1
        cut = next((i for i in range(fits, indent, -1) if breakable(line[i - 1], line[i])), fits)
        out.append(line[:cut])
        line = " " * indent + line[cut:]
    return out + [line]


def inline(text):
    text = re.sub(r"\*\*(.+?)\*\*", r"【\1】", text)
    text = re.sub(r"`([^`]+)`", r"\1", text)
    return re.sub(r"\[([^\]]+)\]\(([^)]+)\)", r"\1（\2）", text)


def plain(markdown):
    markdown = re.sub(r"<!-- linux -->.*?<!-- /linux -->\n?", "", markdown, flags=re.S)
    markdown = re.sub(r"<!--.*?-->\n?", "", markdown, flags=re.S)
    out = []
    for text, command in text_lines(markdown):
        # An example command stays one line, as it is typed.
        body = text.lstrip(" ")
        indent = len(text) - len(body) + (2 if body.startswith("・") else 0)
        out += [text] if command else wrapped(text, indent)
    return "\n".join(out)


def text_lines(markdown):
    """The guide's lines before they are broken, each with whether it is an
    example command."""
    out = []
    cells_before = 0  # the items the table row before took
    for line in markdown.split("\n"):
        heading = re.match(r"(#+) (.*)", line)
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")] if line.startswith("|") else None
        if heading:
            level, title = len(heading[1]), inline(heading[2])
            out += [title, "=" * width(title)] if level == 1 else [("■ " if level == 2 else "◆ ") + title]
        elif cells is not None:
            if all(re.fullmatch(r":?-+:?", cell) for cell in cells):
                del out[-cells_before:]  # the header row above: the items say what they are
            else:
                out += ["・" + inline(cells[0])] + ["    " + inline(cell) for cell in cells[1:]]
            cells_before = len(cells)
        elif re.match(r"( *)- ", line):
            out.append(re.sub(r"^( *)- ", r"\1・", inline(line)))
        elif line.startswith("    "):
            out.append((line, True))  # an example command, as it is typed
        else:
            out.append(inline(line))
    return [line if isinstance(line, tuple) else (line, False) for line in out]


def main(source, target):
    with open(source, encoding="utf-8") as guide:
        text = plain(guide.read())
    with open(target, "w", encoding="utf-8-sig", newline="\r\n") as out:
        out.write(text)


if __name__ == "__main__":
    main(*sys.argv[1:])
