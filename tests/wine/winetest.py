"""Helpers for the tests that run blankmender.exe under Wine."""
import hashlib
import os
import random
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
    folder, 'link:' and its target for a symbolic link, which is not
    followed). Folders are listed with a trailing '/'."""
    found = {}
    for folder, dirs, files in os.walk(root):
        for d in dirs:
            path = os.path.join(folder, d)
            rel = os.path.relpath(path, root)
            found[rel + "/"] = "link:" + os.readlink(path) if os.path.islink(path) else "dir"
        for f in files:
            path = os.path.join(folder, f)
            if os.path.islink(path):
                found[os.path.relpath(path, root)] = "link:" + os.readlink(path)
                continue
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


def run_launcher(launcher, work, cases, timeout_ms=20000, codepage=932, prefix=None):
    """Runs cases [(mode, cwd, program, command line)] in one launcher
    process under codepage's locale; mode 'A' encodes the fields in code
    page 932, 'W' in UTF-8. prefix: another Wine prefix than the tests'.
    Returns [(result, ms)], result being the exit code as a string,
    'TIMEOUT' or 'START-FAILED ...'."""
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
    if prefix is not None:
        env["BLANKMENDER_WINEPREFIX"] = prefix
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


def wine_prefix():
    """The Wine prefix the tests run in (scripts/wine-env.sh)."""
    return os.environ.get("BLANKMENDER_WINEPREFIX", os.path.join(REPO, "build", "wineprefix"))


def run_in_wine(work, args, codepage=932, prefix=None):
    """Runs a Windows program (args[0], e.g. "cmd") under codepage's locale
    and waits for it; its output goes to a file in work."""
    env = dict(os.environ, BLANKMENDER_CODEPAGE=str(locale_codepage(codepage)))
    if prefix is not None:
        env["BLANKMENDER_WINEPREFIX"] = prefix
    with open(os.path.join(work, "wine-cmd.out"), "ab") as out:
        subprocess.run([WINE_RUN] + args, stdin=subprocess.DEVNULL, stdout=out, stderr=out, env=env,
                       timeout=120, check=True)


def stop_wineserver(prefix):
    """Ends the Wine server of a prefix of a test's own."""
    env = dict(os.environ, WINEPREFIX=prefix)
    subprocess.run([os.environ.get("WINESERVER", "/usr/lib/wine/wineserver"), "-k"], env=env,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def blanks_to_underbars(name):
    """A name as the word 1 converts it: blanks and ideographic spaces before
    its last dot become underbars."""
    dot = name.rfind(".")
    base, rest = (name[:dot], name[dot:]) if dot > 0 else (name, "")
    return base.replace(" ", "_").replace("\u3000", "_") + rest


# Words and blanks of generated names; none holds an underbar, so no
# converted name can meet another.
WORDS = ["report", "会議", "資料", "photo", "写真", "データ", "memo", "ﾃﾞｰﾀ", "draft", "見積書", "Final",
         "议事", "café"]
EXTENSIONS = [".txt", ".pdf", ".jpg", ".xlsx", ".tar.gz", ""]


def generated_tree(files, folders, blank_share=0.4, seed=1, depth=8):
    """A tree of folders folders (down to depth levels) holding files files,
    as relative paths (folders ending in '/'), parents before what they
    hold. About blank_share of the names hold a blank or an ideographic
    space before their extension; every name is unique in its folder, also
    once converted and whatever the case."""
    rng = random.Random(seed)
    counter = [0]

    def name(extension):
        counter[0] += 1
        first, second = rng.choice(WORDS), rng.choice(WORDS)
        if rng.random() < blank_share:
            middle = rng.choice([" ", " ", "\u3000"])
        else:
            middle = rng.choice(["", "-", "+"])
        return "%s%s%s%d%s" % (first, middle, second, counter[0], extension)

    tree = [("", 0)]  # (folder with its '/', depth)
    paths = []
    for _ in range(folders):
        # Mostly under one of the last few folders made: long branches as
        # well as wide ones.
        pool = tree[-8:] if rng.random() < 0.7 else tree
        parent, level = rng.choice([f for f in pool if f[1] < depth] or tree[:1])
        folder = parent + name("") + "/"
        tree.append((folder, level + 1))
        paths.append(folder)
    for _ in range(files):
        parent, _ = rng.choice(tree)
        paths.append(parent + name(rng.choice(EXTENSIONS)))
    return paths


def make_empty_tree(root, paths):
    """Creates paths under root (folders end in '/') as empty files."""
    for rel in paths:
        path = os.path.join(root, rel)
        if rel.endswith("/"):
            os.makedirs(path, exist_ok=True)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            os.close(os.open(path, os.O_CREAT | os.O_WRONLY, 0o644))


def names_under(root):
    """Every relative path under root, folders ending in '/'; links are not
    followed."""
    found = set()
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        prefix = "" if rel == "." else rel + "/"
        found.update(prefix + d + "/" for d in dirs)
        found.update(prefix + f for f in files)
    return found


def walked(paths, top, convert=blanks_to_underbars, left_alone=()):
    """paths (relative, folders ending in '/') as a walk of the folder top
    leaves them: every name from top down converted, except names starting
    with a dot and the paths in left_alone, and everything in those."""
    top_parts = top.rstrip("/").split("/")
    result = {}
    for rel in paths:
        parts = rel.rstrip("/").split("/")
        if parts[:len(top_parts)] != top_parts:
            result[rel] = rel
            continue
        new = parts[:len(top_parts) - 1]
        alone = False
        for i in range(len(top_parts) - 1, len(parts)):
            alone = alone or (i >= len(top_parts) and parts[i].startswith(".")) or \
                "/".join(parts[:i + 1]) in left_alone
            new.append(parts[i] if alone else convert(parts[i]))
        result[rel] = "/".join(new) + ("/" if rel.endswith("/") else "")
    return result
