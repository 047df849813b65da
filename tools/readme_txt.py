"""Turns the Japanese guide (README.ja.md) into the readme.txt of the zip.

    python3 tools/readme_txt.py README.ja.md readme.txt

Plain text as Notepad opens it: UTF-8 with a byte order mark, CRLF line ends,
lines wrapped at 76 columns (a wide character takes two). Only the markup the
guide uses is understood: headings, lists, code spans, bold and links.
"""
import re
import sys
import unicodedata

WIDTH = 76
# Units no line may start with, and units no line may end with.
NO_START = set("、。，．・：；！？）」』】〕ー")
NO_END = set("（「『【〔")
UNIT = re.compile(r"`[^`]*`|\*\*|\[[^\]]*\]\([^)]*\)|[!-)+-_a-~]+|\s|.")


def width(text):
    return sum(2 if unicodedata.east_asian_width(c) in "WFA" else 1 for c in text)


def plain(unit):
    if unit.startswith("`"):
        return "「" + unit[1:-1] + "」"
    if unit == "**":
        return ""
    link = re.fullmatch(r"\[([^\]]*)\]\(([^)]*)\)", unit)
    return link.group(1) if link else unit


def units(text):
    """The units of text, less the blanks that set a code span apart from
    Japanese: 「」 do that in plain text."""
    raw = UNIT.findall(text)
    wide = lambda c: unicodedata.east_asian_width(c) in "WF"
    kept = []
    for i, unit in enumerate(raw):
        if unit == " " and 0 < i < len(raw) - 1:
            before, after = raw[i - 1], raw[i + 1]
            if (before.startswith("`") and wide(after[0])) or (after.startswith("`") and wide(before[-1])):
                continue
        kept.append(unit)
    return kept


def wrap(text, first, rest):
    """Lines of text, the first after the prefix first, the others indented
    by rest. A code span or an ASCII word is never split."""
    lines = []
    line = [first]
    used = width(first)
    for unit in (plain(u) for u in units(text)):
        if not unit:
            continue
        fits = used + width(unit) <= WIDTH
        if not fits and not unit.isspace() and len(line) > 1 and unit[0] not in NO_START:
            carried = []
            while len(line) > 1 and (line[-1].isspace() or line[-1][-1] in NO_END):
                carried.insert(0, line.pop())
            lines.append("".join(line).rstrip())
            carried = [u for u in carried if not u.isspace()]
            line = [rest] + carried
            used = width("".join(line))
        if unit.isspace() and len(line) == 1 and lines:
            continue
        line.append(unit)
        used += width(unit)
    lines.append("".join(line).rstrip())
    return lines


def convert(markdown):
    out = []
    for source in markdown.splitlines():
        heading = re.match(r"(#+) (.*)", source)
        item = re.match(r"( *)(- |\d+\. )(.*)", source)
        if heading:
            title = "".join(plain(u) for u in units(heading.group(2)))
            level = len(heading.group(1))
            if level == 1:
                out += [title, "=" * width(title)]
            else:
                out.append(("■ " if level == 2 else "◆ ") + title)
        elif item:
            marker = "・" if item.group(2) == "- " else item.group(2)
            first = item.group(1) + marker
            out += wrap(item.group(3), first, " " * width(first))
        elif source.strip():
            out += wrap(source.strip(), "", "")
        else:
            out.append("")
    return "\r\n".join(out) + "\r\n"


def main():
    source, target = sys.argv[1:3]
    with open(source, encoding="utf-8") as f:
        text = convert(f.read())
    with open(target, "w", encoding="utf-8-sig", newline="") as f:
        f.write(text)


if __name__ == "__main__":
    main()
