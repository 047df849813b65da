"""Tells what one batch of blankmender.exe did to each path it was given,
from the batch's own lines in history.txt (the format is described in
src/history/history.h).

    python3 tools/report_batch.py ids HISTORY > KNOWN
        the ids of the batches HISTORY holds now, one a line
    python3 tools/report_batch.py report HISTORY KNOWN SHOWN WINDOWS [SHOWN WINDOWS ...]
        one line per path, in the order given: SHOWN is the path as the
        report prints it, WINDOWS as the program was given it ("" when it
        could not be given: reported as error 123, no valid name)

The batch is the one whose id is in HISTORY and not in KNOWN. Each path gets
exactly one line:

    now: NEW                          renamed
    unchanged: PATH                   it needed no change
    not renamed: PATH (REASON)        left as it was, and why; "no record"
                                      when the batch recorded nothing of it

With the folder option on, the renames under a dropped folder are counted
on its line: "now: NEW (and 3 inside)", "unchanged: PATH (and 3 inside)",
and each entry inside that was left alone for a reason follows it on a
line of its own, "not renamed: PATH (REASON)", PATH being where it is now.
Names that needed no change get no line, and neither do hidden entries or
what lies behind a link, which the walk never hands out. A name with a
line break in it is printed as it is.
"""
import os
import sys

FOLDER_CONTENTS = 0x10000
# A path the launcher could not pass on: a double quote or a backslash in
# it, which no Windows name holds.
ERROR_INVALID_NAME = 123


def reason(error):
    """The reason for a Windows error, in the words the history uses."""
    if error in (80, 183):
        return "target exists"
    if error in (5, 32):
        return "in use or access denied"
    if error in (2, 3):
        return "not found"
    if error == 206:
        return "name too long"
    if error == 681:
        # Stands for another place: a link, which keeps its name.
        return "link"
    return "other error %d" % error


def decode_path(field):
    """A path field back as text: UTF-8, with '%' and four hex digits for a
    UTF-16 unit that is escaped (a control character, '%', a surrogate
    without its partner, which stays one here)."""
    parts = field.split(b"%")
    text = parts[0].decode("utf-8")
    for part in parts[1:]:
        if len(part) < 4:
            raise ValueError("a cut escape")
        text += chr(int(part[:4], 16)) + part[4:].decode("utf-8")
    return text


def read_lines(history):
    """The file's lines, each split at its tabs; none when there is no file.
    A line cut short (a batch stopped while writing it) has no line end and
    is passed over."""
    try:
        with open(history, "rb") as f:
            text = f.read()
    except FileNotFoundError:
        return []
    lines = text.split(b"\r\n")
    return [line.split(b"\t") for line in lines[:-1]]


def batch_ids(lines):
    return [fields[1].decode("ascii", "replace") for fields in lines
            if len(fields) == 4 and fields[0] == b"batch"]


class Batch:
    def __init__(self, batch_id):
        self.id = batch_id
        self.word = 0
        self.ended = False
        # Old path -> its outcomes in the order they were recorded: ("done",
        # new), ("failed", error), ("same",) for a given path whose name
        # needed no change, or ("stopped", new) for a move whose outcome
        # the batch never wrote.
        self.outcomes = {}
        self.moves = []  # (old, new) of every move that was done
        self.failures = []  # (order, path, error) of every path left alone
        self.done_at = {}  # old path -> (order, new) of a move that was done


def read_batch(lines, batch_id):
    batch = Batch(batch_id)
    key = batch_id.encode("ascii")
    pending = None  # the move whose outcome comes next
    for fields in lines:
        if len(fields) < 2 or fields[1] != key:
            continue
        kind = fields[0]
        try:
            if kind == b"batch" and len(fields) == 4:
                batch.word = int(fields[3])
            elif kind == b"move" and len(fields) == 4:
                pending = (decode_path(fields[2]), decode_path(fields[3]))
                batch.outcomes.setdefault(pending[0], []).append(["stopped", pending[1]])
            elif kind == b"done" and pending is not None:
                batch.outcomes[pending[0]][-1][0] = "done"
                batch.moves.append(pending)
                batch.done_at[pending[0]] = (len(batch.moves), pending[1])
                pending = None
            elif kind == b"failed" and len(fields) == 5:
                path = decode_path(fields[2])
                error = int(fields[3])
                if pending is not None and pending[0] == path:
                    batch.outcomes[path][-1] = ["failed", error]
                else:
                    batch.outcomes.setdefault(path, []).append(["failed", error])
                batch.failures.append((len(batch.moves), path, error))
                pending = None
            elif kind == b"same" and len(fields) == 3:
                batch.outcomes.setdefault(decode_path(fields[2]), []).append(["same"])
            elif kind == b"end":
                batch.ended = True
        except (ValueError, UnicodeDecodeError):
            continue
    return batch


def shown_path(windows):
    """A path of the record as the report prints it: a path on Wine's Z:
    drive, the Linux root, as the Linux path."""
    if windows.startswith("Z:\\"):
        return windows[2:].replace("\\", "/")
    return windows


def take_outcome(batch, path):
    """The path as recorded and the next outcome recorded for it, the first
    unused one: a path given twice was renamed the first time and not found
    the second. (path, None) when there is none."""
    outcomes = batch.outcomes.get(path)
    if outcomes is None:
        # Windows names ignore case: a lookup may have given the name as the
        # disk spells it.
        for recorded, found in batch.outcomes.items():
            if recorded.lower() == path.lower():
                path, outcomes = recorded, found
                break
    if not outcomes:
        return path, None
    return path, outcomes.pop(0)


def where_now(batch, order, path):
    """Where an entry left alone at order lies now: the folders above it that
    the batch renamed later (deepest first, as the walk goes) carry it."""
    cut = len(path)
    while True:
        cut = path.rfind("\\", 0, cut)
        if cut <= 0:
            return path
        done = batch.done_at.get(path[:cut])
        if done is not None and done[0] > order:
            path = done[1] + path[cut:]


def left_alone_inside(batch, folder):
    """The entries under the folder that the batch left alone, each with its
    error, in the order recorded."""
    prefix = folder + "\\"
    return [(where_now(batch, order, path), error) for order, path, error in batch.failures
            if path.startswith(prefix)]


def renamed_inside(batch, old, new):
    """How many renames the batch made under the folder old (renamed to new,
    either before or after its contents)."""
    prefixes = tuple(p + "\\" for p in {old, new} if p)
    return sum(1 for moved, _ in batch.moves if moved.startswith(prefixes))


def is_linux_bytes(text):
    """Whether the only unencodable units of text are Linux name bytes that
    are no UTF-8, as Python hands them over (U+DC80-U+DCFF)."""
    return all(not "\ud800" <= c <= "\udfff" or "\udc80" <= c <= "\udcff" for c in text)


def report(lines, known, pairs, out):
    new_ids = [i for i in batch_ids(lines) if i not in known]
    if not new_ids and any(windows for _, windows in pairs):
        print("blankmender: the batch left no record in history.txt", file=sys.stderr)
        return 1
    # Another batch may have run meanwhile: this one is the batch that
    # mentions the most of these paths.
    batches = [read_batch(lines, i) for i in new_ids] or [Batch("")]
    wanted = {w for _, w in pairs}
    batch = max(batches, key=lambda b: sum(1 for p in b.outcomes if p in wanted))
    folders = batch.word & FOLDER_CONTENTS
    for shown, windows in pairs:
        recorded, outcome = take_outcome(batch, windows) if windows else (windows, ["failed", ERROR_INVALID_NAME])
        new = None
        if outcome is None:
            # Never "unchanged": a batch records every given path.
            line = "not renamed: %s (no record)" % shown
        elif outcome[0] == "same":
            line = "unchanged: " + shown
        elif outcome[0] == "done":
            new = outcome[1]
            line = "now: " + shown_path(new)
        elif outcome[0] == "failed":
            line = "not renamed: %s (%s)" % (shown, reason(outcome[1]))
        else:
            # Stopped between the move and its outcome: the disk alone can
            # tell which name the entry has.
            new = outcome[1]
            moved = os.path.lexists(shown_path(new)) and not os.path.lexists(shown)
            line = ("now: " + shown_path(new)) if moved else ("unchanged: " + shown)
        lines = [line]
        if folders and windows:
            inside = renamed_inside(batch, recorded, new)
            if inside:
                lines[0] += " (and %d inside)" % inside
            lines += ["not renamed: %s (%s)" % (shown_path(path), reason(error))
                      for path, error in left_alone_inside(batch, recorded)]
        for line in lines:
            out.write((line + "\n").encode("utf-8", "surrogateescape" if is_linux_bytes(line) else "backslashreplace"))
    if not batch.ended:
        print("blankmender: the batch stopped before its end", file=sys.stderr)
    return 0


def main(argv):
    if len(argv) >= 3 and argv[1] == "ids":
        for batch_id in batch_ids(read_lines(argv[2])):
            print(batch_id)
        return 0
    if len(argv) >= 4 and argv[1] == "report" and len(argv) % 2 == 0:
        with open(argv[3], encoding="ascii", errors="replace") as f:
            known = set(f.read().split())
        pairs = list(zip(argv[4::2], argv[5::2]))
        return report(read_lines(argv[2]), known, pairs, sys.stdout.buffer)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
