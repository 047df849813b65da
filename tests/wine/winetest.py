"""Helpers for the tests that run blankmender.exe under Wine."""
import hashlib
import os
import shutil
import subprocess
import tempfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(REPO, "scripts", "wine-run")


def win_path(linux_path):
    """The Windows form of an absolute Linux path, through Wine's Z: drive."""
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


def make_tree(root, entries):
    """Creates files and folders (names ending in '/') under root; every
    file gets content of its own."""
    for rel in entries:
        path = os.path.join(root, rel)
        if rel.endswith("/"):
            os.makedirs(path, exist_ok=True)
            continue
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(rel.encode("utf-8") + b"\0" + os.urandom(64))


def snapshot(root):
    """Every entry under root: relative path -> content hash ('dir' for a
    folder). Folders are listed with a trailing '/'."""
    found = {}
    for folder, dirs, files in os.walk(root):
        for d in dirs:
            rel = os.path.relpath(os.path.join(folder, d), root)
            found[rel + "/"] = "dir"
        for f in files:
            path = os.path.join(folder, f)
            with open(path, "rb") as fh:
                found[os.path.relpath(path, root)] = hashlib.sha256(fh.read()).hexdigest()
    return found


def apply_renames(before, renames):
    """The snapshot expected after renames {old: new}, applied in order;
    renaming a folder moves what it holds."""
    after = {}
    for rel, digest in before.items():
        for old, new in renames.items():
            old_key = old.rstrip("/")
            new_key = new.rstrip("/")
            if rel.rstrip("/") == old_key or rel.startswith(old_key + "/"):
                rel = new_key + rel[len(old_key):]
        after[rel] = digest
    return after


def install_exe(exe, folder, word):
    """A copy of the exe in folder with config.dat beside it."""
    os.makedirs(folder, exist_ok=True)
    target = os.path.join(folder, "blankmender.exe")
    shutil.copyfile(exe, target)
    if word is not None:
        with open(os.path.join(folder, "config.dat"), "w") as f:
            f.write(str(word))
    return target


# The ANSI code pages the tests run under. Wine takes 932 and 1252 from the
# locale (scripts/wine-env.sh reads BLANKMENDER_CODEPAGE); 65001 comes from a
# manifest in the test copy of the exe, under the Japanese locale.
CODEPAGES = (932, 1252, 65001)


def locale_codepage(codepage):
    """The ANSI code page of the locale under which codepage is tested."""
    return 1252 if codepage == 1252 else 932


def has_utf8_manifest(exe):
    with open(exe, "rb") as f:
        return b"activeCodePage" in f.read()


def run_launcher(launcher, work, cases, timeout_ms=20000, codepage=932):
    """Runs cases [(mode, cwd, program, command line)] in one launcher
    process under codepage's locale; mode 'A' encodes the fields in code
    page 932, 'W' in UTF-8. Returns [(result, ms)], result being the exit
    code as a string, 'TIMEOUT' or 'START-FAILED ...'."""
    lines = []
    for mode, cwd, program, command_line in cases:
        # CreateProcessA reads the fields in the ANSI code page.
        assert mode == "W" or locale_codepage(codepage) == 932, mode
        encoding = "cp932" if mode == "A" else "utf-8"
        fields = [mode, cwd, program, command_line]
        # The command line is the last field and may hold tabs.
        assert all("\t" not in field for field in fields[:3])
        assert all("\n" not in field for field in fields)
        lines.append("\t".join(fields).encode(encoding))
    cases_file = os.path.join(work, "cases.txt")
    results_file = os.path.join(work, "results.txt")
    with open(cases_file, "wb") as f:
        f.write(b"\n".join(lines) + b"\n")
    if os.path.exists(results_file):
        os.remove(results_file)
    env = dict(os.environ, BLANKMENDER_CODEPAGE=str(locale_codepage(codepage)))
    # Output goes to files, never pipes: a wineserver started here would
    # inherit a pipe and hold it open after the launcher ends.
    with open(os.path.join(work, "wine.out"), "wb") as out:
        completed = subprocess.run(
            [WINE_RUN, launcher, win_path(cases_file), win_path(results_file), str(timeout_ms)],
            stdin=subprocess.DEVNULL, stdout=out, stderr=out, env=env,
            timeout=60 + len(cases) * (timeout_ms / 1000 + 5))
    if completed.returncode != 0:
        with open(os.path.join(work, "wine.out"), "rb") as f:
            raise RuntimeError("launcher failed: %d\n%s" % (completed.returncode, f.read()[-2000:]))
    with open(results_file, "rb") as f:
        acp, *rows = [line.split("\t") for line in f.read().decode("ascii").splitlines()]
    if int(acp[0]) != locale_codepage(codepage):
        raise RuntimeError("the launcher ran under code page %s, not %d"
                           % (acp[0], locale_codepage(codepage)))
    assert len(rows) == len(cases), rows
    return [(row[0], float(row[1])) for row in rows]


def temp_root(prefix):
    return tempfile.mkdtemp(prefix=prefix, dir=os.environ.get("BLANKMENDER_TEST_TMP", "/tmp"))
