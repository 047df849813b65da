#!/usr/bin/env python3
"""Benchmark (not a test): blankmender.exe renaming 500 files in one run
under Wine, with its history and without, against a floor program that
only calls MoveFileW for each.

Each round runs, in one launcher process, blankmender.exe on the 500 files
(blanks to underbars) from a folder it can write its history.txt to, the
floor program moving the same 500 files back, then the same exe from a
folder nobody can write to (no history is kept), and the floor again. After
every round all 500 original names must be present again, which shows that
every program moved every file, and the history must have grown by one
batch. Times are wall times from CreateProcess to the end of the process,
measured by the launcher.

With --depth the files lie in a folder whose path is that many UTF-16 units
long, made of ASCII folders. A command line holds 32,767 units, so there
are only as many files as their full paths fit on one (Wine starts no
program in a working folder that deep, so relative names are no way out);
compare the time per file.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "wine"))
import winetest  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--files", type=int, default=500)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--depth", type=int, default=0,
                        help="the folder's path length in UTF-16 units (0: a shallow folder)")
    args = parser.parse_args()

    root = winetest.temp_root("bm-bench-")
    try:
        exe = winetest.install_exe(args.exe, os.path.join(root, "exe"), 1)
        floor = os.path.join(root, "exe", "floor_move.exe")
        shutil.copyfile(args.floor, floor)
        # The same exe where no history can be kept: immutable, so that root
        # cannot write there either.
        read_only = os.path.join(root, "read-only")
        plain = winetest.install_exe(args.exe, read_only, 1)
        os.chmod(read_only, 0o555)
        subprocess.run(["chattr", "+i", read_only], stderr=subprocess.DEVNULL)
        try:
            open(os.path.join(read_only, "probe"), "wb").close()
            print("no folder can be made read-only here")
            return 1
        except OSError:
            pass
        history = os.path.join(root, "exe", "history.txt")

        folder = os.path.join(root, "f")
        if args.depth:
            step = 0
            while len(winetest.win_path(folder)) + 101 <= args.depth:
                folder = os.path.join(folder, "%02d" % step + "d" * 98)
                step += 1
            rest = args.depth - len(winetest.win_path(folder)) - 1
            if rest > 0:
                folder = os.path.join(folder, "e" * rest)
            assert len(winetest.win_path(folder)) == args.depth
        files = args.files
        if args.depth:
            files = min(files, (32767 - 300) // (args.depth + len(" \\会議 資料 000.txt  ")))
        names = ["会議 資料 %03d.txt" % i for i in range(files)]
        winetest.make_tree(folder, names)
        before = winetest.snapshot(os.path.join(root, "f"))
        d = winetest.win_path(folder)
        tail = " ".join('"%s\\%s"' % (d, n) for n in names)
        back = os.path.join(root, "back.txt")
        with open(back, "wb") as f:
            for n in names:
                line = "%s\\%s\t%s\\%s\n" % (d, n.replace(" ", "_"), d, n)
                f.write(line.encode("utf-8"))

        move_back = ("A", "", "", '"%s" %s' % (winetest.win_path(floor), winetest.win_path(back)))
        cases = [("A", "", "", '"%s" %s' % (winetest.win_path(exe), tail)), move_back,
                 ("A", "", "", '"%s" %s' % (winetest.win_path(plain), tail)), move_back]
        print("folder: %d units; command line: %d characters, %d paths"
              % (len(d), len(cases[0][3]), len(names)))

        kept, blank, floor_ms = [], [], []
        batches = b""
        for round_number in range(args.rounds):
            results = winetest.run_launcher(args.launcher, root, cases, 120000)
            # The batch with history ended its record (older batches may
            # have been dropped to keep the file at 1 MiB).
            with open(history, "rb") as f:
                data = f.read()
            now = data[data.rfind(b"\nbatch\t") + 7:].split(b"\t")[0]
            if (any(r != "0" for r, _ in results) or winetest.snapshot(os.path.join(root, "f")) != before
                    or now == batches or not data.endswith(b"end\t" + now + b"\t0\r\n")
                    or len(data) > (1 << 20) + 100000):
                print("round %d: not every file was moved, or no batch recorded (%s)" % (round_number, results))
                return 1
            batches = now
            (_, ms1), (_, ms2), (_, ms3), (_, ms4) = results
            kept.append(ms1)
            blank.append(ms3)
            floor_ms.append((ms2 + ms4) / 2)
            print("round %d: with history %7.1f ms   without %7.1f ms   floor %7.1f ms"
                  % (round_number, ms1, ms3, (ms2 + ms4) / 2))

        # The machine may be shared: the fastest round shows the cost with
        # the least interference, the median what a user may see.
        for label, pick in (("fastest", min), ("median", statistics.median)):
            k = pick(kept)
            b = pick(blank)
            f = pick(floor_ms)
            print("%-8s with history %7.1f ms, without %7.1f ms (ratio %.2f), floor (MoveFileW only) %7.1f ms;"
                  " per file %.2f ms, %.2f ms and %.2f ms"
                  % (label + ":", k, b, k / b, f, k / len(names), b / len(names), f / len(names)))
    finally:
        if os.path.isdir(os.path.join(root, "read-only")):
            subprocess.run(["chattr", "-i", os.path.join(root, "read-only")], stderr=subprocess.DEVNULL)
            os.chmod(os.path.join(root, "read-only"), 0o755)
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
