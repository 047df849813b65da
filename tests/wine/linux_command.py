#!/usr/bin/env python3
"""The Linux command ./blankmender.

    --case report    real files renamed under Wine: one line per path, each
                     from the batch's record
    --case history   the report read from a history written here: other
                     batches, escaped names, the folder option's sums
    --case native    real files renamed by the native program (no Wine):
                     the same paths as the report, the lines it prints
                     itself, a dry run first that prints the same
    --case install   on a machine where nothing is installed (a PATH of
                     stand-ins for dpkg-query, apt-get and the locale tools)
                     the command asks for what building and running need,
                     and for no test tool: the compiler and CMake for the
                     native program, MinGW and Wine for the dialog
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winetest  # noqa: E402

COMMAND = os.path.join(winetest.REPO, "blankmender")
REPORT = os.path.join(winetest.REPO, "tools", "report_batch.py")

failures = []


def expect(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)


def expect_lines(what, want, got):
    expect(got == want, what)
    if got != want:
        print("  want: %r\n  got:  %r" % (want, got))


def case_report(exe, work, native=None):
    """One run over a renamed file, one that needs no change, one whose
    target exists, one that is missing, one whose new name Windows cannot
    hold (a line break in it) and one Wine cannot be given (a double quote),
    names ending in a blank, a link to a file, then paths given with "~" and
    relative. The native program renames a line break and a double quote
    like any other character, and a dropped link as the link itself, its
    target kept: it runs a dry run first, which must print the same lines
    and rename nothing, and takes the batch back after."""
    files = os.path.join(work, "files 1")
    names = ["a b.txt", "plain.txt", "c d.txt", "c_d.txt", "n\nl x.txt", 'q"u x.txt', "memo ", "e f ", "end.",
             "outside/keep me.txt"]
    winetest.make_tree(files, names)
    os.symlink("outside/keep me.txt", os.path.join(files, "link x.txt"))
    if native:
        config = os.path.join(work, "config", "blankmender")
        os.makedirs(config)
        with open(os.path.join(config, "config.dat"), "w") as f:
            f.write("1")
        env = dict(os.environ, BLANKMENDER_NATIVE_EXE=native, XDG_CONFIG_HOME=os.path.dirname(config),
                   XDG_STATE_HOME=os.path.join(work, "state"))
        env.pop("BLANKMENDER_WINE", None)
    else:
        folder = os.path.join(work, "exe")
        os.makedirs(folder)
        shutil.copy(exe, os.path.join(folder, "blankmender.exe"))
        with open(os.path.join(folder, "config.dat"), "w") as f:
            f.write("1")
        env = dict(os.environ, BLANKMENDER_DEPS_READY="1", BLANKMENDER_WINE="1",
                   BLANKMENDER_EXE=os.path.join(folder, "blankmender.exe"))
    # An earlier batch in the same history must not be taken for this one.
    subprocess.run([COMMAND, os.path.join(files, "plain.txt")], env=env, check=True,
                   stdout=subprocess.DEVNULL)
    # Each path given, with its line under Wine and natively (None: the
    # same), and the name it has afterwards.
    rows = [
        ("a b.txt", "now: F/a_b.txt", None, "a_b.txt"),
        ("plain.txt", "unchanged: F/plain.txt", None, "plain.txt"),
        ("c d.txt", "not renamed: F/c d.txt (target exists)", None, "c d.txt"),
        ("missing x.txt", "not renamed: F/missing x.txt (not found)", None, None),
        ("n\nl x.txt", "not renamed: F/n\nl x.txt (other error 123)", "now: F/n\nl_x.txt", "n\nl_x.txt"),
        ('q"u x.txt', 'not renamed: F/q"u x.txt (other error 123)', 'now: F/q"u_x.txt', 'q"u_x.txt'),
        ("memo ", "now: F/memo_", None, "memo_"),
        ("e f ", "now: F/e_f_", None, "e_f_"),
        ("end.", "unchanged: F/end.", None, "end."),
        ("link x.txt", "not renamed: F/link x.txt (link)", "now: F/link_x.txt", "link_x.txt"),
    ]
    given = [os.path.join(files, row[0]) for row in rows]
    want = [(row[2] if native and row[2] else row[1]).replace("F/", files + "/") for row in rows]
    after = [row[3] if native or row[2] is None else row[0] for row in rows]
    # Relative and with "~": printed as the absolute path.
    home = os.path.join(work, "home")
    os.makedirs(home)
    os.symlink(files, os.path.join(home, "f"))
    winetest.make_tree(files, ["h i.txt", "rel x.txt"])
    given += ["~/f/h i.txt", os.path.relpath(os.path.join(files, "rel x.txt"))]
    want += ["now: %s/f/h_i.txt" % home, "now: %s/rel_x.txt" % files]
    after += ["h_i.txt", "rel_x.txt", "c_d.txt", "outside"]
    env["HOME"] = home
    want = "".join(line + "\n" for line in want)
    case = "native" if native else "report"
    before = sorted(os.listdir(files))
    if native:
        result = subprocess.run([COMMAND, "-n"] + given, env=env, stdout=subprocess.PIPE)
        expect_lines("native: the dry run prints what the run will", want + "dry run: nothing renamed\n",
                     result.stdout.decode("utf-8"))
        expect(sorted(os.listdir(files)) == before, "native: the dry run renames nothing")
    result = subprocess.run([COMMAND] + given, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    got = result.stdout.decode("utf-8")
    # The native program's own exit code: two paths were left alone. The
    # report under Wine always ends well.
    code = 1 if native else 0
    expect(result.returncode == code, "%s: exit code %d (got %d; %s)" % (
        case, code, result.returncode, result.stderr.decode("utf-8", "replace").strip()))
    expect_lines("%s: one line for each path, in order" % case, want, got)
    expect(sorted(os.listdir(files)) == sorted(n for n in after if n),
           "%s: the folder as the lines say" % case)
    with open(os.path.join(files, "outside", "keep me.txt"), "rb") as f:
        expect(f.read().startswith(b"outside/keep me.txt\0"), "%s: the link's target kept its place and bytes" % case)
    if native:
        result = subprocess.run([COMMAND, "--undo"], env=env, stdout=subprocess.PIPE)
        expect(result.returncode == 0 and sorted(os.listdir(files)) == before,
               "native: --undo brings every name back")


def history_line(*fields):
    return "\t".join(fields) + "\r\n"


def case_history(work):
    """Batches written here, as blankmender.exe writes them."""
    history = os.path.join(work, "history.txt")
    old = "100-1dd0000000000aa"
    new = "200-1dd0000000000bb"
    other = "300-1dd0000000000cc"
    d = "Z:\\w"
    text = "".join([
        history_line("batch", old, "2026-01-01 10:00:00", "1"),
        history_line("move", old, d + "\\a b.txt", d + "\\a_b.txt"),
        history_line("done", old),
        history_line("end", old, "0"),
    ])
    with open(history, "w", newline="") as f:
        f.write(text)
    known = os.path.join(work, "known")
    with open(known, "w") as f:
        subprocess.run([sys.executable, REPORT, "ids", history], stdout=f, check=True)
    with open(known) as f:
        expect(f.read() == old + "\n", "history: the ids before the run")

    # The new batch, with the folder option, interleaved with another
    # batch that ran at the same time on other paths. Contents first: the
    # moves inside a dropped folder come before the folder's own.
    text += "".join([
        history_line("batch", new, "2026-01-02 10:00:00", str(0x10001)),
        history_line("batch", other, "2026-01-02 10:00:01", "1"),
        history_line("move", new, d + "\\d x\\in 1.txt", d + "\\d x\\in_1.txt"),
        history_line("move", other, d + "\\o p.txt", d + "\\o_p.txt"),
        history_line("done", new),
        history_line("move", new, d + "\\d x\\in 2.txt", d + "\\d x\\in_2.txt"),
        history_line("done", other),
        history_line("done", new),
        history_line("move", new, d + "\\d x\\in 3.txt", d + "\\d x\\in_3.txt"),
        history_line("failed", new, d + "\\d x\\in 3.txt", "183", "target exists"),
        # Left alone inside folders renamed afterwards: printed where
        # they are now.
        history_line("failed", new, d + "\\d x\\sub 1\\link y", "681", "other"),
        history_line("move", new, d + "\\d x\\sub 1\\in 4.txt", d + "\\d x\\sub 1\\in_4.txt"),
        history_line("failed", new, d + "\\d x\\sub 1\\in 4.txt", "32", "in use or access denied"),
        history_line("move", new, d + "\\d x\\sub 1", d + "\\d x\\sub_1"),
        history_line("done", new),
        history_line("move", new, d + "\\d x", d + "\\d_x"),
        history_line("done", new),
        history_line("move", new, d + "\\kept\\k l.txt", d + "\\kept\\k_l.txt"),
        history_line("done", new),
        history_line("same", new, d + "\\kept"),
        history_line("move", new, d + "\\memo ", d + "\\memo_"),
        history_line("done", new),
        # A line break and a per cent sign, escaped; a name given twice.
        history_line("move", new, d + "\\n%000Al 100%0025.txt", d + "\\n%000Al_100%0025.txt"),
        history_line("done", new),
        history_line("failed", new, d + "\\n%000Al 100%0025.txt", "2", "not found"),
        history_line("move", new, d + "\\busy x.txt", d + "\\busy_x.txt"),
        history_line("failed", new, d + "\\busy x.txt", "32", "in use or access denied"),
        history_line("failed", new, d + "\\" + "y" * 10, "206", "name too long"),
        history_line("failed", new, d + "\\odd", "1920", "other"),
        history_line("move", new, d + "\\a b.txt", d + "\\a_b.txt"),
        history_line("failed", new, d + "\\a b.txt", "2", "not found"),
        history_line("same", new, d + "\\same.txt"),
        history_line("end", new, "2"),
        history_line("end", other, "0"),
    ])
    with open(history, "w", newline="") as f:
        f.write(text)
    paths = ["/w/d x", "/w/kept", "/w/n\nl 100%.txt", "/w/n\nl 100%.txt", "/w/busy x.txt",
             "/w/" + "y" * 10, "/w/odd", "/w/a b.txt", "/w/same.txt", '/w/q"u', "/w/memo ", "/w/ghost"]
    pairs = []
    for p in paths:
        pairs += [p, "" if '"' in p else "Z:" + p.replace("/", "\\")]
    result = subprocess.run([sys.executable, REPORT, "report", history, known] + pairs,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    want = "".join(line + "\n" for line in [
        "now: /w/d_x (and 3 inside)",
        "not renamed: /w/d_x/in 3.txt (target exists)",
        "not renamed: /w/d_x/sub_1/link y (link)",
        "not renamed: /w/d_x/sub_1/in 4.txt (in use or access denied)",
        "unchanged: /w/kept (and 1 inside)",
        "now: /w/n\nl_100%.txt",
        "not renamed: /w/n\nl 100%.txt (not found)",
        "not renamed: /w/busy x.txt (in use or access denied)",
        "not renamed: /w/yyyyyyyyyy (name too long)",
        "not renamed: /w/odd (other error 1920)",
        "not renamed: /w/a b.txt (not found)",
        "unchanged: /w/same.txt",
        'not renamed: /w/q"u (other error 123)',
        "now: /w/memo_",
        "not renamed: /w/ghost (no record)",
    ])
    expect(result.returncode == 0, "history: exit code 0")
    expect_lines("history: the new batch's lines, not the other's", want, result.stdout.decode("utf-8"))

    # No new batch: nothing to report from, and it says so.
    with open(known, "w") as f:
        f.write(old + "\n" + new + "\n" + other + "\n")
    result = subprocess.run([sys.executable, REPORT, "report", history, known, "/w/a b.txt", "Z:\\w\\a b.txt"],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    expect(result.returncode != 0 and result.stdout == b"" and b"no record" in result.stderr,
           "history: no new batch is an error, not a report")


STAND_INS = {
    # Nothing is installed.
    "dpkg-query": "exit 1\n",
    # Records what it is asked for.
    "apt-get": 'printf "%s\\n" "$*" >>"$LOG/apt-get"\n',
    "sudo": 'exec "$@"\n',
    "locale": "echo C; echo POSIX\n",
    "locale-gen": 'echo locale-gen >>"$LOG/locale"\n',
    "tee": 'cat >>"$LOG/locale"\n',
    # The build stops the command once the packages are in.
    "cmake": "exit 3\n",
}

NATIVE_SET = {"g++", "cmake", "make"}
RUN_SET = {"g++-mingw-w64-x86-64-posix", "binutils-mingw-w64-x86-64", "cmake", "make", "python3", "wine64",
           "fonts-wine", "locales", "fonts-ipafont-gothic"}
TEST_TOOLS = {"g++", "clang", "googletest", "libgtest-dev", "libbenchmark-dev", "nkf", "xvfb", "x11-utils",
              "imagemagick"}


def asked_for(work, command, extra=None):
    log = tempfile.mkdtemp(prefix="log-", dir=work)
    shims = os.path.join(work, "shims")
    if not os.path.isdir(shims):
        os.makedirs(shims)
        for name, body in STAND_INS.items():
            path = os.path.join(shims, name)
            with open(path, "w") as f:
                f.write("#!/bin/sh\n" + body)
            os.chmod(path, 0o755)
    env = dict(os.environ, PATH=shims + os.pathsep + os.environ["PATH"], LOG=log)
    for name in ("BLANKMENDER_DEPS_READY", "BLANKMENDER_EXE", "BLANKMENDER_NATIVE_EXE", "BLANKMENDER_WINE"):
        env.pop(name, None)
    env.update(extra or {})
    subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    installs = set()
    try:
        with open(os.path.join(log, "apt-get")) as f:
            for line in f:
                words = line.split()
                if "install" in words:
                    installs |= {w for w in words[words.index("install") + 1:] if not w.startswith("-")}
    except FileNotFoundError:
        pass
    locale = os.path.exists(os.path.join(log, "locale"))
    return installs, locale


def case_install(work):
    installs, locale = asked_for(work, [COMMAND, os.path.join(work, "a b.txt")])
    print("  ./blankmender PATH asks for: " + " ".join(sorted(installs)))
    expect(installs == NATIVE_SET, "install: ./blankmender PATH asks for the compiler and CMake only (%s)"
           % " ".join(sorted(installs ^ NATIVE_SET) or ["exactly"]))
    expect(not locale, "install: ./blankmender PATH makes no locale")
    for what, command, extra in [("./blankmender", [COMMAND], {}),
                                 ("BLANKMENDER_WINE=1 ./blankmender PATH", [COMMAND, os.path.join(work, "a b.txt")],
                                  {"BLANKMENDER_WINE": "1"})]:
        installs, locale = asked_for(work, command, extra)
        print("  %s asks for: %s" % (what, " ".join(sorted(installs))))
        expect(installs == RUN_SET, "install: %s asks for what building and running under Wine need (%s)"
               % (what, " ".join(sorted(installs ^ RUN_SET) or ["exactly"])))
        expect(not installs & TEST_TOOLS, "install: %s asks for no test tool" % what)
        expect(locale, "install: %s makes the ja_JP.UTF-8 locale" % what)
    installs, _ = asked_for(work, [os.path.join(winetest.REPO, "scripts", "install-deps")])
    expect(installs == RUN_SET | TEST_TOOLS, "install: the tests' set holds the test tools too (%s)"
           % " ".join(sorted(installs ^ (RUN_SET | TEST_TOOLS)) or ["exactly"]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--case", required=True, choices=["report", "native", "history", "install"])
    parser.add_argument("--exe")
    parser.add_argument("--native-exe", help="the native program, for --case native")
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="blankmender-command-")
    try:
        if args.case == "report":
            case_report(args.exe, work)
        elif args.case == "native":
            case_report(None, work, os.path.abspath(args.native_exe))
        elif args.case == "history":
            case_history(work)
        else:
            case_install(work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
