#!/usr/bin/env python3
"""Benchmark (not a test): blankmender.exe renaming 500 files in one run
under Wine, against a floor program that only calls MoveFileW for each.

Each round runs, in one launcher process, blankmender.exe on the 500 files
(blanks to underbars), then the floor program moving the same 500 files
back. After every round all 500 original names must be present again, which
shows that both programs moved every file. Times are wall times from
CreateProcess to the end of the process, measured by the launcher.

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
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
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

        cases = [("A", "", "", '"%s" %s' % (winetest.win_path(exe), tail)),
                 ("A", "", "", '"%s" %s' % (winetest.win_path(floor), winetest.win_path(back)))]
        print("folder: %d units; command line: %d characters, %d paths"
              % (len(d), len(cases[0][3]), len(names)))

        blank, floor_ms = [], []
        for round_number in range(args.rounds):
            (r1, ms1), (r2, ms2) = winetest.run_launcher(args.launcher, root, cases, 120000)
            if r1 != "0" or r2 != "0" or winetest.snapshot(os.path.join(root, "f")) != before:
                print("round %d: not every file was moved (%s, %s)" % (round_number, r1, r2))
                return 1
            blank.append(ms1)
            floor_ms.append(ms2)
            print("round %d: blankmender %7.1f ms   floor %7.1f ms" % (round_number, ms1, ms2))

        # The machine may be shared: the fastest round shows the cost with
        # the least interference, the median what a user may see.
        for label, pick in (("fastest", min), ("median", statistics.median)):
            b = pick(blank)
            f = pick(floor_ms)
            print("%-8s blankmender %7.1f ms, floor (MoveFileW only) %7.1f ms, ratio %.2f;"
                  " per file %.2f ms and %.2f ms"
                  % (label + ":", b, f, b / f, b / len(names), f / len(names)))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
