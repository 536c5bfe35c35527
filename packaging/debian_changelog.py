"""Writes CHANGELOG.md as Debian's changelog, which a native package carries
as its one changelog: an entry for every release (not [Unreleased]), its
sections and items wrapped to 80 columns, dated as CHANGELOG.md dates the
release (midnight UTC).

    python3 packaging/debian_changelog.py CHANGELOG.md "NAME <ADDRESS>" OUT
"""

import datetime
import email.utils
import re
import sys
import textwrap


def releases(markdown):
    """(version, date, [(section, [item, ...])]) of every release, newest
    first; an item that is a list item starts with "- ", any other is a
    paragraph."""
    found = []
    for block in re.split(r"^## ", markdown, flags=re.M)[1:]:
        heading, _, body = block.partition("\n")
        match = re.fullmatch(r"\[([0-9.]+)\] - (\d{4}-\d{2}-\d{2})", heading.strip())
        if match is None:
            continue  # [Unreleased]
        sections = [("", [])]
        item = None
        for line in body.splitlines():
            if line.startswith("### "):
                sections.append((line[4:].strip(), []))
                item = None
            elif not line.strip():
                item = None
            elif item is not None and line.startswith("  "):
                sections[-1][1][item] += " " + line.strip()
            else:
                sections[-1][1].append(line.strip())
                item = len(sections[-1][1]) - 1
        found.append((match[1], match[2], sections))
    return found


def entry(version, date, sections, maintainer):
    lines = [f"shotrenum ({version}) unstable; urgency=medium", ""]
    for title, items in sections:
        if not items:
            continue
        if title:
            lines += [f"  {title}:"]
        for item in items:
            bullet = item.startswith("- ")
            lines += textwrap.wrap(item[2:] if bullet else item, 80, initial_indent="  * " if bullet else "  ",
                                   subsequent_indent="    " if bullet else "  ", break_on_hyphens=False)
        lines += [""]
    moment = datetime.datetime.fromisoformat(date).replace(tzinfo=datetime.timezone.utc)
    lines += [f" -- {maintainer}  {email.utils.format_datetime(moment)}", ""]
    return "\n".join(lines)


def main(source, maintainer, out):
    with open(source, encoding="utf-8") as markdown:
        text = "\n".join(entry(*release, maintainer) for release in releases(markdown.read()))
    with open(out, "w", encoding="utf-8") as changelog:
        changelog.write(text)


if __name__ == "__main__":
    main(*sys.argv[1:])
