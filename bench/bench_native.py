#!/usr/bin/env python3
"""Benchmark (not a test): the native command renaming a generated tree
(blanks to underbars, a folder's contents on), side by side in one run with

  - floor_tree_posix, which lists the same folders with readdir, keeps the
    same rules (dot names and links passed over, contents first, list then
    move) and moves with renameat2, and does nothing more;
  - the same floor with --record, which also writes each move to a file in
    one write() before making it, as the command records every move;
  - detox -r, Debian's name cleaner, on the same tree (it renames other
    names, and more of them: it rewrites every Japanese name);
  - with --wine-exe, blankmender.exe under Wine on the same tree, from a
    start of Wine's own program loader (scripts/wine-env.sh's prefix, its
    server already running).

Each round makes fresh copies of the tree, writes the disk out, runs the
programs in turns (the order changes every round), and checks that the
command and the floors left exactly the names expected; then the
command's --undo takes its batch back, and the tree must be as it was.
Times are wall times, with the processor time (user + system) beside
them: on a machine shared with other work the latter varies less. The
peak memory is each process's maximum resident set, as /usr/bin/time
reads it (from a small parent: a child forked from this script would
count the script's own memory).

    python3 bench/bench_native.py --command build/native/blankmender \\
        --floor build/native/bench/floor_tree_posix [--tree 110020] [--rounds 5] \\
        [--wine-exe build/windows/blankmender.exe]

--tree N makes N entries under the folder given, which makes N + 1.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "wine"))
import winetest  # noqa: E402


def timed(command, env=None):
    """Runs command; returns (exit code, wall seconds, processor seconds,
    peak resident KiB)."""
    report = tempfile.NamedTemporaryFile(mode="r", suffix=".time")
    start = time.perf_counter()
    code = subprocess.run(["/usr/bin/time", "-o", report.name, "-f", "%U %S %M"] + command,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env).returncode
    seconds = time.perf_counter() - start
    fields = report.read().split()[-3:]
    report.close()
    return code, seconds, float(fields[0]) + float(fields[1]), int(fields[2])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--command", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--tree", type=int, default=110020)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--wine-exe")
    args = parser.parse_args()
    detox = shutil.which("detox")
    if detox is None:
        print("detox is not installed (apt-get install detox); it is left out")

    root = winetest.temp_root("bm-bench-native-")
    try:
        folders = max(1, args.tree // 11)
        paths = winetest.generated_tree(args.tree - folders, folders, seed=22)
        template = os.path.join(root, "template", "tree x")
        winetest.make_empty_tree(template, paths)
        before = winetest.names_under(os.path.dirname(template))
        walked = winetest.walked(before, "tree x/")
        after = set(walked.values())
        moves = sum(1 for rel in before
                    if walked[rel].rstrip("/").split("/")[-1] != rel.rstrip("/").split("/")[-1])
        print("tree: %d entries (%d folders), %d of them renamed" % (len(before), folders + 1, moves))

        # The command's record and settings in the benchmark's own folders.
        env = dict(os.environ, XDG_STATE_HOME=os.path.join(root, "state"),
                   XDG_CONFIG_HOME=os.path.join(root, "config"))
        record = os.path.join(root, "floor-record.txt")
        programs = [
            ("blankmender", lambda tree: [args.command, "-r", "--word", "1", tree]),
            ("floor", lambda tree: [args.floor, tree]),
            ("floor with record", lambda tree: [args.floor, "--record", record, tree]),
        ]
        if detox:
            programs.append(("detox -r", lambda tree: [detox, "-r", tree]))
        if args.wine_exe:
            wine = os.environ.get("WINE", "/usr/lib/wine/wine64")
            exe_folder = os.path.join(root, "exe")
            exe = winetest.install_exe(args.wine_exe, exe_folder, 0x10001)
            programs.append(("blankmender.exe (Wine)", lambda tree: [wine, exe, winetest.win_path(tree)]))
            wine_env = subprocess.run(["bash", "-c", "source %s/scripts/wine-env.sh; wine_prepare; env -0"
                                       % winetest.REPO], stdout=subprocess.PIPE, check=True).stdout
            wine_env = dict(item.split("=", 1) for item in wine_env.decode().split("\0") if "=" in item)

        times = {name: [] for name, _ in programs}
        cpu = {name: [] for name, _ in programs}
        peaks = {name: 0 for name, _ in programs}
        undo_times = []
        for round_number in range(args.rounds):
            copies = {}
            for index, (name, _) in enumerate(programs):
                copy = os.path.join(root, "c%d" % index)
                shutil.rmtree(copy, ignore_errors=True)
                subprocess.run(["cp", "-a", os.path.dirname(template), copy], check=True)
                copies[name] = os.path.join(copy, "tree x")
            order = programs if round_number % 2 == 0 else list(reversed(programs))
            line = []
            for name, command in order:
                os.sync()
                run_env = wine_env if name.endswith("(Wine)") else env
                code, seconds, processor, peak = timed(command(copies[name]), run_env)
                got = winetest.names_under(os.path.dirname(copies[name]))
                if not name.startswith("detox") and (code != 0 or got != after):
                    print("round %d: %s left the tree not as expected (exit %d; %d names differ)"
                          % (round_number, name, code, len(got ^ after)))
                    return 1
                times[name].append(seconds)
                cpu[name].append(processor)
                peaks[name] = max(peaks[name], peak)
                line.append("%s %.3f s (%.3f s)" % (name, seconds, processor))
            os.sync()
            code, seconds, _, _ = timed([args.command, "--undo"], env)
            if code != 0 or winetest.names_under(os.path.dirname(copies["blankmender"])) != before:
                print("round %d: --undo did not bring the tree back (exit %d)" % (round_number, code))
                return 1
            undo_times.append(seconds)
            print("round %d: %s; undo %.3f s" % (round_number, ", ".join(line), seconds))
            # The records grow by a batch each round; start afresh.
            shutil.rmtree(os.path.join(root, "state"), ignore_errors=True)
            os.remove(record)

        for label, pick in (("fastest", min), ("median", statistics.median)):
            floor, floor_cpu = pick(times["floor"]), pick(cpu["floor"])
            print("%s:" % label)
            for name, _ in programs:
                t, c = pick(times[name]), pick(cpu[name])
                print("  %-24s %7.3f s (%.2fx the floor), processor %6.3f s (%.2fx), peak %6.1f MiB"
                      % (name, t, t / floor, c, c / floor_cpu, peaks[name] / 1024))
            print("  %-24s %7.3f s" % ("blankmender --undo", pick(undo_times)))
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
