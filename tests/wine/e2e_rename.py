#!/usr/bin/env python3
"""End-to-end tests of batch renaming: blankmender.exe under Wine on real
files with Japanese names.

Every case gets a fresh folder of files and folders, a copy of the exe with
its own config.dat, and an exact command line (passed by the launcher). After
one launcher run for the whole group, each case is checked: exit code 0, the
process ended by itself, and the folder holds exactly the expected names with
every file's content unchanged (so a target that was already there, and
everything not named, is untouched).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winetest  # noqa: E402

SPACES = 0x001
SPACES_DIGITS_FULL = 0x00B
SPACES_LETTERS_UPPER = 0x225
SPACES_LETTERS_CAPITALISE = 0x825
SPACES_LETTERS_FULL = 0x145  # blanks, letters to full width, case kept
JOIN_MARKS = 0x8000
SPACES_JOIN_KANA_FULL = 0xB001  # blanks, marks joined, katakana to full width
SPACES_JOIN_KANA_HALF = 0xD001  # blanks, marks joined, katakana to half width
CAPITALISE_KANA_FULL = 0x3825  # 2085 and katakana to full width
FOLDER_CONTENTS = 0x10000
TREE = SPACES | FOLDER_CONTENTS
TREE_UPPER = SPACES_LETTERS_UPPER | FOLDER_CONTENTS

# Folder of each exe copy -> its settings word. The last three test how the
# program name is passed over and where config.dat is looked for.
EXES = {
    "exe-spaces": SPACES,
    "exe-digits-full": SPACES_DIGITS_FULL,
    "exe-upper": SPACES_LETTERS_UPPER,
    "exe-capitalise": SPACES_LETTERS_CAPITALISE,
    "exe-join": JOIN_MARKS,
    "exe-kana-full": SPACES_JOIN_KANA_FULL,
    "exe-kana-half": SPACES_JOIN_KANA_HALF,
    "exe-kana-capitalise": CAPITALISE_KANA_FULL,
    "exe-tree": TREE,
    "exe-tree-upper": TREE_UPPER,
    "exe dir with blanks": SPACES,
    "設定ファイル": SPACES_LETTERS_UPPER,  # ends in ル (83 8B)
    "設定é〜": SPACES_LETTERS_UPPER,  # outside code page 932
}


def outside_932(text):
    """True when every character of text is one the program keeps as it is:
    it does not come back unchanged from code page 932, or it is one of the
    private-use characters that 932 maps to its user-defined area."""
    def outside(c):
        if "\ue000" <= c <= "\ue757":
            return True
        try:
            return c.encode("cp932").decode("cp932") != c
        except UnicodeError:
            return True
    return all(outside(c) for c in text)


def length_932(text):
    """The length of text as the program counts it: code page 932 bytes,
    two for each outside character."""
    return sum(2 if outside_932(c) else len(c.encode("cp932")) for c in text)


def q(path):
    return '"' + path + '"'


def cases_tokens():
    yield dict(
        name="quoted paths in a folder with blanks, each renamed once",
        files=["My Docs/a b.txt", "My Docs/c d.txt", "My Docs/e f.txt"],
        renames={"My Docs/a b.txt": "My Docs/a_b.txt", "My Docs/c d.txt": "My Docs/c_d.txt"},
        tail=lambda d: " ".join([q(d + r"\My Docs\a b.txt"), q(d + r"\My Docs\c d.txt"),
                                 q(d + r"\My Docs\a b.txt")]))
    yield dict(
        name="unquoted paths split at spaces only",
        files=["p　q.txt", "r　s.txt", "two x", "one"],
        renames={"p　q.txt": "p_q.txt", "r　s.txt": "r_s.txt"},
        # "two" is a token of its own and names nothing; "two x" stays.
        tail=lambda d: "%s\\p　q.txt %s\\r　s.txt   %s\\two x" % (d, d, d))
    yield dict(
        name="missing closing quote runs to the end",
        files=["m n.txt", "m"],
        renames={"m n.txt": "m_n.txt"},
        tail=lambda d: '"' + d + r"\m n.txt")
    yield dict(
        name="empty quotes among paths",
        files=["e f.txt", "g h.txt"],
        renames={"e f.txt": "e_f.txt", "g h.txt": "g_h.txt"},
        tail=lambda d: '"" %s ""%s ""' % (q(d + r"\e f.txt"), q(d + r"\g h.txt")))
    yield dict(
        name="empty quotes alone: batch mode, nothing moves",
        files=["a b.txt"],
        renames={},
        tail=lambda d: '""')
    yield dict(
        name="a quoted path directly followed by another",
        files=["a b.txt", "c　d.txt", "g h.txt", "i j.txt"],
        renames={"a b.txt": "a_b.txt", "c　d.txt": "c_d.txt", "g h.txt": "g_h.txt",
                 "i j.txt": "i_j.txt"},
        tail=lambda d: q(d + r"\a b.txt") + d + r"\c　d.txt " + q(d + r"\g h.txt")
        + q(d + r"\i j.txt"))
    yield dict(
        name="unresolvable paths among good ones",
        files=["a b.txt", "c d.txt", "x y.txt"],
        renames={"a b.txt": "a_b.txt", "c d.txt": "c_d.txt"},
        tail=lambda d: " ".join([q(d + r"\a b.txt"), q(d + r"\missing file.txt"), d + r"\nope",
                                 q(d + r"\no such folder\x y.txt"), q(d + r"\x?y.txt"),
                                 q(d + r"\x*.txt"), q(d + r"\c d.txt")]))


def cases_names():
    yield dict(
        name="Japanese names, ideographic spaces and trail-byte traps",
        files=["会議 資料.pdf", "写真　2024.jpg", "表 ソ　ダ.txt", "ファイル 1.txt", "きゃ x.txt",
               "ｱ b.txt", "ﾊﾟ x", "高a b.txt", "my archive.tar.gz", "read me", "v1.2 x",
               "ソ/a b.txt", "表/c　d", "　　.txt"],
        renames={"会議 資料.pdf": "会議_資料.pdf", "写真　2024.jpg": "写真_2024.jpg",
                 "表 ソ　ダ.txt": "表_ソ_ダ.txt", "ファイル 1.txt": "ファイル_1.txt",
                 "きゃ x.txt": "きゃ_x.txt", "ｱ b.txt": "ｱ_b.txt", "ﾊﾟ x": "ﾊﾟ_x",
                 "高a b.txt": "高a_b.txt", "my archive.tar.gz": "my_archive.tar.gz",
                 "read me": "read_me", "ソ/a b.txt": "ソ/a_b.txt", "表/c　d": "表/c_d",
                 "　　.txt": "__.txt"},
        tail=lambda d: " ".join(q(d + "\\" + n.replace("/", "\\"))
                                for n in ["会議 資料.pdf", "写真　2024.jpg", "表 ソ　ダ.txt",
                                          "ファイル 1.txt", "きゃ x.txt", "ｱ b.txt", "ﾊﾟ x",
                                          "高a b.txt", "my archive.tar.gz", "read me", "v1.2 x",
                                          "ソ/a b.txt", "表/c　d", "　　.txt"]))
    yield dict(
        name="trail bytes that look like small letters stay under all capitals",
        exe="exe-upper",
        # ヂ is 83 61 and ビ 83 72: their trail bytes are 'a' and 'r'.
        files=["ヂビ x.txt", "高a ｂ.txt"],
        renames={"ヂビ x.txt": "ヂビ_X.txt", "高a ｂ.txt": "高A_Ｂ.txt"},
        tail=lambda d: q(d + r"\ヂビ x.txt") + " " + q(d + r"\高a ｂ.txt"))

    def quoted(d, names):
        return " ".join(q(d + "\\" + n.rstrip("/").replace("/", "\\")) for n in names)

    # As a Mac or an iPhone writes them: voiced marks and accents as
    # combining marks after their base. Written with escapes, so that no
    # editor composes them. Standing alone, U+212B and U+FA10 are kept,
    # though NFC would change them; so is a mark in the extension.
    mac = {"\u30cf\u309a\u30cf\u309a.txt": "\u30d1\u30d1.txt",  # パパ
           "\u306f\u3099\u306a\u3057.txt": "\u3070\u306a\u3057.txt",  # ばなし
           "\u30a6\u3099\u30a3 a.txt": "\u30f4\u30a3 a.txt",  # ヴィ
           "cafe\u0301.txt": "caf\u00e9.txt",
           "re\u0301sume\u0301 final.doc": "r\u00e9sum\u00e9 final.doc",
           "\u212b\u0301 x": "\u01fa x"}
    kept = ["\u212b x.txt", "\ufa10 y.txt", "a.e\u0301", "\u30c7\u30fc\u30bf.txt"]
    yield dict(
        name="names from a Mac: combining marks joined in hiragana, katakana and Latin",
        mode="W",
        exe="exe-join",
        files=list(mac) + kept,
        renames=mac,
        tail=lambda d: quoted(d, list(mac) + kept))
    spacing = {"\u30cf\u309b\u30c3\u30af\u30a2\u30c3\u30d5\u309c \uff83\uff9e\uff70\uff80.txt":
               "\u30d0\u30c3\u30af\u30a2\u30c3\u30d7_\u30c7\u30fc\u30bf.txt",  # ハ゛ックアッフ゜ ﾃﾞｰﾀ
               "\u306f\u309c\u3093.txt": "\u3071\u3093.txt",  # は゜ん: ぱん
               "\uff9c\uff9e \uff76\uff9f": "\u30ef\u309b_\u30ab\u309c",  # ﾜﾞ ｶﾟ: no such forms
               "\u30cf\u3099\u30b9 x.txt": "\u30d0\u30b9_x.txt"}  # combining, then blanks
    kept = ["\u30a2\u309b.txt", "\u30d0\u309b.txt"]  # ア゛, バ゛
    yield dict(
        name="spacing marks joined, half-width katakana widened",
        mode="W",
        exe="exe-kana-full",
        files=list(spacing) + kept,
        renames=spacing,
        tail=lambda d: quoted(d, list(spacing) + kept))
    narrowed = {"\u30c7\u30fc\u30bf \u30cf\u309b\u30c3\u30af.txt":
                "\uff83\uff9e\uff70\uff80_\uff8a\uff9e\uff6f\uff78.txt",  # ﾃﾞｰﾀ_ﾊﾞｯｸ
                "\u30f4\u30a1\u30a4\u30aa\u30ea\u30f3.txt": "\uff73\uff9e\uff67\uff72\uff75\uff98\uff9d.txt",
                "\u30d8\u309a\u30fc\u30b7\u3099.txt": "\uff8d\uff9f\uff70\uff7c\uff9e.txt",  # ページ from a Mac
                "\u300c\u30ab\u30ca\u300d\u3001\u30fb\u3002": "\uff62\uff76\uff85\uff63\uff64\uff65\uff61"}
    kept = ["\u30f5\u30f6\u30f0\u30f1\u30ee.txt", "\u3072\u3089\u304c\u306a.txt"]  # ヵヶヰヱヮ, ひらがな
    yield dict(
        name="full-width katakana narrowed after the marks are joined",
        mode="W",
        exe="exe-kana-half",
        files=list(narrowed) + kept,
        renames=narrowed,
        tail=lambda d: quoted(d, list(narrowed) + kept))
    yield dict(
        name="katakana end a word for capitalising, and widen last",
        exe="exe-kana-capitalise",
        files=["ｶﾞｲﾄﾞbook ﾃﾞｰﾀ.txt"],
        renames={"ｶﾞｲﾄﾞbook ﾃﾞｰﾀ.txt": "ガイドBook_データ.txt"},
        tail=lambda d: q(d + "\\ｶﾞｲﾄﾞbook ﾃﾞｰﾀ.txt"))
    today = {"ﾃﾞｰﾀ ハ゛ックアップ.txt": "ﾃﾞｰﾀ_ハ゛ックアップ.txt",
             "\u30cf\u309a x.txt": "\u30cf\u309a_X.txt", "ｶﾞｲﾄﾞbook.txt": "ｶﾞｲﾄﾞBook.txt"}
    yield dict(
        name="a word of today's leaves katakana and marks alone",
        mode="W",
        exe="exe-capitalise",
        files=list(today),
        renames=today,
        tail=lambda d: quoted(d, today))


def cases_folders():
    yield dict(
        name="folders ending in ル and ン holding files with blanks",
        files=["ファイル/a b.txt", "ファイル/sub dir/", "ファイル/keep me.txt", "レン/x y",
               "データ ル/in side.txt", "ソ フォルダ/z.txt"],
        renames={"ファイル/a b.txt": "ファイル/a_b.txt", "ファイル/sub dir/": "ファイル/sub_dir/",
                 "レン/x y": "レン/x_y", "データ ル/": "データ_ル/", "ソ フォルダ/": "ソ_フォルダ/"},
        tail=lambda d: " ".join(q(d + "\\" + n) for n in [
            r"ファイル\a b.txt", r"ファイル\sub dir", r"レン\x y", "データ ル", "ソ フォルダ"]))
    yield dict(
        name="folders renamed like files, dot taken for an extension",
        files=["my folder.v2/in side.txt", "photo 2024/in side.txt", "photo 2024/deeper dir/f.txt",
               "x y/z.txt"],
        renames={"my folder.v2/": "my_folder.v2/", "photo 2024/": "photo_2024/"},
        # A path ending in a backslash has an empty file name: nothing moves.
        tail=lambda d: " ".join([q(d + r"\my folder.v2"), q(d + r"\photo 2024"),
                                 q(d + "\\x y\\")]))
    yield dict(
        name="a folder renamed between paths inside it",
        files=["s t/a b.txt", "s t/c d.txt", "u v/w x/"],
        renames={"s t/a b.txt": "s t/a_b.txt", "s t/c d.txt": "s t/c_d.txt", "s t/": "s_t/"},
        # The last path names the folder by its old name: the batch is
        # planned whole, and the folder's new name carries into it.
        # "." and ".." name folders through their parents: nothing moves.
        tail=lambda d: " ".join(q(d + "\\" + n) for n in [
            r"s t\a b.txt", "s t", r"s t\c d.txt", r"u v\.", r"u v\w x\.."]))
    yield dict(
        name="a target already present is never replaced",
        # E_F.txt counts as present too: names ignore case.
        files=["a b.txt", "a_b.txt", "c d/in.txt", "c_d/in.txt", "e f.txt", "E_F.txt"],
        renames={},
        tail=lambda d: " ".join(q(d + "\\" + n) for n in ["a b.txt", "c d", "e f.txt"]))
    # The folder part is never joined: a file inside a folder from a Mac
    # keeps its folder's spelling, then the folder itself is renamed.
    mac_folder = "\u30cf\u309a\u30b9 \u30c8"  # パス ト, as a Mac writes it
    yield dict(
        name="a folder from a Mac: the name joined, never the folder part",
        mode="W",
        exe="exe-kana-full",
        files=[mac_folder + "/ﾌｧｲﾙ 1.txt", mac_folder + "/keep.txt", "ﾃﾞｰﾀ/in.txt"],
        renames={mac_folder + "/ﾌｧｲﾙ 1.txt": mac_folder + "/ファイル_1.txt",
                 mac_folder + "/": "\u30d1\u30b9_\u30c8/", "ﾃﾞｰﾀ/": "データ/"},
        tail=lambda d: " ".join(q(d + "\\" + n) for n in [
            mac_folder + "\\ﾌｧｲﾙ 1.txt", mac_folder, "ﾃﾞｰﾀ"]))
    yield dict(
        name="a katakana or joined target already present is never replaced",
        mode="W",
        exe="exe-kana-full",
        files=["ﾃﾞｰﾀ.txt", "データ.txt", "ハ゛ス.txt", "バス.txt", "\u30cf\u309a.txt", "パ.txt",
               "ﾌｧｲﾙ/in.txt", "ファイル/in.txt"],
        renames={},
        tail=lambda d: " ".join(q(d + "\\" + n) for n in [
            "ﾃﾞｰﾀ.txt", "ハ゛ス.txt", "\u30cf\u309a.txt", "ﾌｧｲﾙ"]))
    yield dict(
        name="bare names in the current folder",
        cwd=True,
        files=["b c.txt", "d　e.txt", "sub/f g.txt"],
        renames={"b c.txt": "b_c.txt", "d　e.txt": "d_e.txt", "sub/f g.txt": "sub/f_g.txt"},
        tail=lambda d: '"b c.txt" d　e.txt "sub\\f g.txt"')


def utf16_units(text):
    """The length of text in UTF-16 units, as Windows counts paths."""
    return len(text.encode("utf-16-le")) // 2


def deep_chain(count, width, tag):
    """A path of count ASCII folder names of width characters each."""
    return "/".join("%s%02d" % (tag, i) + "d" * (width - len(tag) - 2) for i in range(count))


def cases_limits(root):
    # Widening keeps a name's UTF-16 units, so code page 932 bytes set no
    # limit any more: these paths pass 255 bytes once converted (they were
    # left alone when 255 bytes were the limit). Linux holds no more than
    # 255 bytes of UTF-8 in a name, and under Wine the program keeps a name
    # that would pass that, so the names stay below it.
    cd = winetest.win_path(os.path.join(root, "cases", "limits-convert"))
    pad = "c" * (150 - length_932(cd) - 2)
    assert length_932(cd + "\\" + pad + "\\") == 150
    widened = {pad + "/n " + "1" * 80 + ".txt": pad + "/n_" + "１" * 80 + ".txt",
               pad + "/o " + "2" * 79 + ".txt": pad + "/o_" + "２" * 79 + ".txt",
               "k 1.txt": "k_１.txt"}
    assert all(length_932(cd + "\\" + new) > 255 for new in list(widened.values())[:2])
    yield dict(
        name="widening past 255 bytes of code page 932 is renamed",
        exe="exe-digits-full",
        folder="limits-convert",
        files=list(widened),
        renames=widened,
        tail=lambda d: " ".join(q(d + "\\" + n.replace("/", "\\")) for n in widened))

    # A new path of 255 bytes and one of 256: both renamed now.
    d = winetest.win_path(os.path.join(root, "cases", "limits-path"))
    sub_len = 100
    pad = "p" * (sub_len - length_932(d) - 1 - 1)
    prefix_dir = d + "\\" + pad + "\\"
    assert length_932(prefix_dir) == sub_len
    digits = (255 - sub_len - 2 - 4) // 2
    prefix = "x " if (255 - sub_len - 4 - 2 * digits) == 2 else "xy "
    assert sub_len + len(prefix) + 2 * digits + 4 == 255
    exact = prefix + "3" * digits + ".txt"
    over = prefix + "4" * (digits + 1) + ".txt"
    exact_new = prefix.replace(" ", "_") + "３" * digits + ".txt"
    over_new = prefix.replace(" ", "_") + "４" * (digits + 1) + ".txt"
    yield dict(
        name="new paths of 255 and 256 bytes are both renamed",
        exe="exe-digits-full",
        folder="limits-path",
        files=[pad + "/" + exact, pad + "/" + over],
        renames={pad + "/" + exact: pad + "/" + exact_new, pad + "/" + over: pad + "/" + over_new},
        tail=lambda d: q(prefix_dir + exact) + " " + q(prefix_dir + over))

    # A path of 256 bytes whose first 255 bytes name another file with a
    # blank: the path is renamed whole, and the other file stays.
    trap_dir = os.path.join(root, "cases", "limits-trap")
    td = winetest.win_path(trap_dir)
    pad = "q" * (255 - length_932(td) - 1 - 1 - len("x y"))
    short = pad + "/x y"
    assert length_932(td + "\\" + short) == 255
    yield dict(
        name="a path over 255 bytes is renamed whole, never cut",
        folder="limits-trap",
        files=[short, short + "z"],
        renames={short + "z": pad + "/x_yz"},
        tail=lambda d: q(d + "\\" + (short + "z").replace("/", "\\")))

    # Outside characters of one unit and of two, in paths of 255 and 256
    # bytes: all are renamed.
    od = winetest.win_path(os.path.join(root, "cases", "limits-outside"))
    sub_len = 181
    pad = "s" * (sub_len - length_932(od) - 1 - 1)
    assert length_932(od + "\\" + pad + "\\") == sub_len
    count = (255 - sub_len - len("x .txt")) // 2
    names = {}
    for first in (0xAC00, 0x20000):
        run = "".join(chr(first + i) for i in range(count))
        assert outside_932(run)
        names[pad + "/x " + run + ".txt"] = pad + "/x_" + run + ".txt"
        names[pad + "/xy " + run + ".txt"] = pad + "/xy_" + run + ".txt"
    assert sorted(length_932(od + "\\" + n) for n in names) == [255, 255, 256, 256]
    yield dict(
        name="outside characters in paths of 255 and 256 bytes are renamed",
        mode="W",
        folder="limits-outside",
        files=list(names),
        renames=names,
        tail=lambda d: " ".join(q(d + "\\" + n.replace("/", "\\")) for n in names))

    exact_dir = os.path.join(root, "cases", "limits-255")
    ed = winetest.win_path(exact_dir)
    pad = "r" * (255 - length_932(ed) - 1 - 1 - len("x y"))
    yield dict(
        name="a path of exactly 255 bytes is renamed",
        folder="limits-255",
        files=[pad + "/x y"],
        renames={pad + "/x y": pad + "/x_y"},
        tail=lambda d: q(d + "\\" + pad + "\\x y"))

    # A company share: Japanese folders, a file at 200 units and one at
    # 259, the most a plain path holds. At two bytes a character they were
    # left alone from about 128 units on.
    jd = winetest.win_path(os.path.join(root, "cases", "deep-share"))
    chain = "共有フォルダ（全社）/営業本部/第一営業部/顧客別/株式会社サンプル商事/見積書/2024年度/保管用（編集禁止）/原本"
    quote = "御見積書 株式会社サンプル商事様 改訂版.xlsx"
    share = {}
    for top, target in (("a", 200), ("b", 259)):
        rest = target - utf16_units(jd + "\\" + top + "\\" + chain + "\\\\" + quote)
        folder = top + "/" + chain + "/" + "p" * rest
        assert utf16_units(jd + "\\" + folder + "\\" + quote) == target
        share[folder + "/" + quote] = folder + "/" + quote.replace(" ", "_")
    yield dict(
        name="Japanese folders: files at 200 and 259 units",
        folder="deep-share",
        files=list(share),
        renames=share,
        tail=lambda d: " ".join(q(d + "\\" + n.replace("/", "\\")) for n in share))

    # The exe itself at depth, its path 200 or 259 units long: it finds its
    # config.dat (all capitals), and the file beside it is renamed.
    for target in (200, 259):
        folder = "deep-exe-%d" % target
        xd = winetest.win_path(os.path.join(root, "cases", folder))
        rest = target - utf16_units(xd + "\\" + chain + "\\\\blankmender.exe")
        exe_folder = chain + "/" + "e" * rest
        exe_path = xd + "\\" + exe_folder.replace("/", "\\") + "\\blankmender.exe"
        assert utf16_units(exe_path) == target
        yield dict(
            name="config.dat beside an exe whose path is %d units" % target,
            folder=folder,
            own_exe=(exe_folder, SPACES_LETTERS_UPPER),
            files=[exe_folder + "/lower case.txt"],
            renames={exe_folder + "/lower case.txt": exe_folder + "/LOWER_CASE.txt"},
            command_line=lambda d, e=exe_path, f=exe_folder: q(e) + " " + q(
                d + "\\" + f.replace("/", "\\") + "\\lower case.txt"))

    # Paths past what a plain path holds, in the extended form: about 300,
    # 1,000 and 2,500 units, of ASCII folders (Linux holds 4,096 bytes).
    # At each depth a file, a folder, a name given with '/' and "..", a
    # target already present, and a case-only change.
    dd = winetest.win_path(os.path.join(root, "cases", "deep-ascii"))
    deep = {}
    files = []
    tails = []
    for count, width in ((2, 125), (9, 100), (24, 100)):
        chain_ascii = deep_chain(count, width, "L%d-" % count)
        tails.append((chain_ascii, count))
        files += [chain_ascii + "/x y.txt", chain_ascii + "/sub dir/in side.txt",
                  chain_ascii + "/taken one.txt", chain_ascii + "/taken_one.txt",
                  chain_ascii + "/slash way.txt"]
        deep[chain_ascii + "/x y.txt"] = chain_ascii + "/x_y.txt"
        deep[chain_ascii + "/sub dir/"] = chain_ascii + "/sub_dir/"
        deep[chain_ascii + "/slash way.txt"] = chain_ascii + "/slash_way.txt"
    lengths = [utf16_units(dd + "\\" + c.replace("/", "\\") + "\\x_y.txt") for c, _ in tails]
    assert 290 <= lengths[0] <= 320 and 950 <= lengths[1] <= 1050 and 2400 <= lengths[2] <= 2550, lengths

    def deep_tail(d):
        parts = []
        for chain_ascii, _ in tails:
            w = d + "\\" + chain_ascii.replace("/", "\\")
            first = chain_ascii.split("/")[0]
            parts += [q(w + "\\x y.txt"), q(w + "\\sub dir"), q(w + "\\taken one.txt"),
                      q(w.replace("\\" + first + "\\", "\\" + first + "\\..\\" + first + "/")
                        + "/slash way.txt")]
        return " ".join(parts)
    yield dict(
        name="paths of about 300, 1,000 and 2,500 units",
        folder="deep-ascii",
        files=files,
        renames=deep,
        tail=deep_tail)

    cased = {}
    for count in (3, 24):
        chain_ascii = deep_chain(count, 100, "C%d-" % count)
        cased[chain_ascii + "/abc.txt"] = chain_ascii + "/ABC.txt"
        cased[chain_ascii + "/low dir/"] = chain_ascii + "/LOW_DIR/"
    yield dict(
        name="case-only changes at depth",
        exe="exe-upper",
        folder="deep-case",
        files=list(cased),
        renames=cased,
        tail=lambda d: " ".join(q(d + "\\" + n.rstrip("/").replace("/", "\\")) for n in cased))

    yield from cases_utf8_limit(root)


def cases_utf8_limit(root):
    # Under Wine a name is kept on Linux, which holds 255 bytes of UTF-8 in
    # one name, and Wine cuts a longer new name without an error: 120
    # letters widened (124 units, 364 bytes) came out as 85 letters with no
    # extension. Such a name is kept and recorded as too long; 255 bytes
    # still go.
    widest = "12" + "a" * 83 + ".txt"
    names = {"a" * 120 + ".txt": None, "a" * 84 + ".txt": None,
             widest: "12" + "ａ" * 83 + ".txt", "b c.txt": "ｂ_ｃ.txt"}
    assert len(names[widest].encode("utf-8")) == 255

    def check_record(folder):
        d = winetest.win_path(folder)
        records = history_records(os.path.join(folder, "widen exe"))
        if records is None:
            return ["no history.txt beside the exe"]
        batch = records[0][1] if len(records[0]) > 1 else ""
        want = []
        for old, new in names.items():
            if new is None:
                want.append(["failed", batch, d + "\\" + old, "206", "name too long"])
            else:
                want += [["move", batch, d + "\\" + old, d + "\\" + new], ["done", batch]]
        want.append(["end", batch, "0"])
        if records[1:] != want:
            return ["records:\n         " + "\n         ".join(map(repr, records[1:]))]
        return []
    yield dict(
        name="under Wine a new name past 255 bytes of UTF-8 is kept and recorded too long",
        own_exe=("widen exe", SPACES_LETTERS_FULL),
        folder="limits-utf8",
        files=list(names),
        renames={old: new for old, new in names.items() if new is not None},
        check=check_record,
        command_line=lambda d: q(d + r"\widen exe\blankmender.exe") + " " + " ".join(
            q(d + "\\" + n) for n in names))


def cases_case_and_bestfit():
    yield dict(
        name="case-only changes take effect where names ignore case",
        exe="exe-upper",
        files=["abc.txt", "ｆｕｌｌ.txt", "mixed Case.dat", "lowdir/inner.txt", "dir one/in.txt",
               "cap.txt", "CAP.txt", "Done.txt"],
        renames={"abc.txt": "ABC.txt", "ｆｕｌｌ.txt": "ＦＵＬＬ.txt", "mixed Case.dat": "MIXED_CASE.dat",
                 "lowdir/": "LOWDIR/", "dir one/": "DIR_ONE/", "Done.txt": "DONE.txt"},
        # cap.txt: CAP.txt is another file here, and must not be replaced.
        tail=lambda d: " ".join(q(d + "\\" + n) for n in [
            "abc.txt", "ｆｕｌｌ.txt", "mixed Case.dat", "lowdir", "dir one", "cap.txt",
            "DONE.txt"]))
    # From the eighth path in one folder on, the folder's names are listed
    # once and a name spelled exactly like a listed one is not looked up
    # again. Other spellings, a name given twice and a name the batch made
    # must still come out as they do with a lookup each.
    many = ["f%d x.txt" % i for i in range(9)]
    yield dict(
        name="many paths in one folder: other spellings, a name given twice, a name the batch made",
        exe="exe-upper",
        files=many + ["Done.txt", "mixed Case.dat", "Other.txt", "OTHER.TXT"],
        renames=dict({n: n.upper().replace(" ", "_").replace(".TXT", ".txt") for n in many},
                     **{"Done.txt": "DONE.txt", "mixed Case.dat": "MIXED_CASE.dat"}),
        tail=lambda d: " ".join(q(d + "\\" + n) for n in many + [
            "DONE.txt", "MIXED CASE.DAT", "f0 x.txt", "F0_X.txt", "f1 x.txt", "other.txt"]))
    yield dict(
        name="a name with a character outside code page 932 is renamed, never its look-alike",
        mode="W",
        files=["cafe x.txt", "café x.txt", "naive dir/a b.txt", "naïve dir/a b.txt",
               "good one.txt"],
        renames={"café x.txt": "café_x.txt", "naïve dir/a b.txt": "naïve dir/a_b.txt",
                 "good one.txt": "good_one.txt"},
        # Unquoted, "café" is a path of its own and names nothing.
        tail=lambda d: " ".join([q(d + r"\café x.txt"), q(d + r"\naïve dir\a b.txt"),
                                 d + r"\café", q(d + r"\good one.txt")]))


def cases_program_name(root):
    exe_blank = winetest.win_path(os.path.join(root, "exe dir with blanks", "blankmender.exe"))
    exe_plain = winetest.win_path(os.path.join(root, "exe-spaces", "blankmender.exe"))
    exe_ru = winetest.win_path(os.path.join(root, "設定ファイル", "blankmender.exe"))
    yield dict(
        name="quoted program name with blanks",
        files=["a b.txt"],
        renames={"a b.txt": "a_b.txt"},
        command_line=lambda d: q(exe_blank) + " " + q(d + r"\a b.txt"))
    yield dict(
        name="unquoted program name, then spaces and tabs",
        files=["c d.txt", "e　f.txt"],
        renames={"c d.txt": "c_d.txt", "e　f.txt": "e_f.txt"},
        command_line=lambda d: exe_plain + "  \t \t" + q(d + r"\c d.txt") + " " + d + r"\e　f.txt")
    yield dict(
        name="quoted program name directly followed by a path",
        files=["g h.txt"],
        renames={"g h.txt": "g_h.txt"},
        command_line=lambda d: q(exe_plain) + q(d + r"\g h.txt"))
    yield dict(
        name="config.dat beside an exe in a folder ending in ル",
        files=["lower case.txt"],
        renames={"lower case.txt": "LOWER_CASE.txt"},
        command_line=lambda d: q(exe_ru) + " " + q(d + r"\lower case.txt"))
    # The settings are read once, when the batch starts: renaming the
    # program's own folder first must not lose them for the paths after it.
    yield dict(
        name="one settings word for the whole batch, even after the program's folder moves",
        own_exe=("exe up", SPACES_LETTERS_UPPER),
        files=["x y.txt"],
        renames={"exe up/": "EXE_UP/", "x y.txt": "X_Y.txt"},
        command_line=lambda d: " ".join(q(d + "\\" + n) for n in [
            r"exe up\blankmender.exe", "exe up", "x y.txt"]))


def cases_outside(root):
    # Characters that do not come back from code page 932 unchanged are
    # kept as they are, count as neither blank, digit nor letter, and only
    # CreateProcessW can pass them.
    def quoted_paths(d, names):
        return " ".join(q(d + "\\" + n.rstrip("/").replace("/", "\\")) for n in names)

    # Each sign as a Mac writes it, then the character 932 maps it to, which
    # is another name: 〜 and ～, − and －, ‖ and ∥, ¢ £ ¬ and ￠ ￡ ￢, — and ―.
    signs = {"10月〜12月 報告.xlsx": "10月〜12月_報告.xlsx", "a − b.txt": "a_−_b.txt",
             "x‖y z.txt": "x‖y_z.txt", "¢ 1.txt": "¢_1.txt", "£　2.txt": "£_2.txt",
             "¬ 3.txt": "¬_3.txt", "A—B c.txt": "A—B_c.txt"}
    look_alikes = ["10月～12月 報告.xlsx", "a － b.txt", "x∥y z.txt", "￠ 1.txt", "￡　2.txt",
                   "￢ 3.txt", "A―B c.txt"]
    assert all(outside_932(c) for c in "〜−‖¢£¬—")
    assert not outside_932("".join(look_alikes))
    yield dict(
        name="signs a Mac writes outside 932, never their look-alikes",
        mode="W",
        files=list(signs) + look_alikes,
        renames=signs,
        tail=lambda d: quoted_paths(d, signs))

    kept = {"𠮷野家 メニュー.txt": "𠮷野家_メニュー.txt", "résumé final.doc": "résumé_final.doc",
            "😀 smile.png": "😀_smile.png", "한국어 파일.txt": "한국어_파일.txt",
            "Ünïcödé 👍🏽 名前": "Ünïcödé_👍🏽_名前"}
    yield dict(
        name="supplementary-plane characters, accents, emoji and Hangul",
        mode="W",
        files=list(kept) + ["吉野家 メニュー.txt", "resume final.doc"],
        renames=kept,
        tail=lambda d: quoted_paths(d, kept))

    words = {"café menu.txt": "Café_Menu.txt", "éa b": "éA_B", "über cool.txt": "üBer_Cool.txt",
             "a😀b c.txt": "A😀B_C.txt", "x𠮷y z.txt": "X𠮷Y_Z.txt", "한a b.txt": "한A_B.txt",
             "n−m o.txt": "N−M_O.txt"}
    yield dict(
        name="an outside character ends a word for capitalising",
        mode="W",
        exe="exe-capitalise",
        files=list(words),
        renames=words,
        tail=lambda d: quoted_paths(d, words))

    # U+E021 is F0 61 in 932: its second byte looks like 'a'.
    private = {"\ue000é x.txt": "\ue000é_X.txt", "\ue021 a.txt": "\ue021_A.txt",
               "〜\ue757 b": "〜\ue757_B"}
    yield dict(
        name="private-use characters beside other outside ones, under all capitals",
        mode="W",
        exe="exe-upper",
        files=list(private),
        renames=private,
        tail=lambda d: quoted_paths(d, private))

    yield dict(
        name="folders named with outside characters: files in them, then the folders",
        mode="W",
        files=["café dir/a b.txt", "café dir/c d.txt", "cafe dir/a b.txt", "〜 ‖/e f.txt",
               "〜 ‖/g h.txt", "한 글/"],
        renames={"café dir/a b.txt": "café dir/a_b.txt", "café dir/c d.txt": "café dir/c_d.txt",
                 "〜 ‖/e f.txt": "〜 ‖/e_f.txt", "〜 ‖/": "〜_‖/", "한 글/": "한_글/"},
        tail=lambda d: quoted_paths(d, ["café dir/a b.txt", "café dir/c d.txt", "〜 ‖/e f.txt",
                                       "〜 ‖/", "한 글/"]))

    # Without its config.dat the program would use blanks only.
    exe_outside = winetest.win_path(os.path.join(root, "設定é〜", "blankmender.exe"))
    yield dict(
        name="config.dat beside an exe in a folder named with outside characters, quoted",
        mode="W",
        files=["lower case.txt"],
        renames={"lower case.txt": "LOWER_CASE.txt"},
        command_line=lambda d: q(exe_outside) + " " + q(d + r"\lower case.txt"))
    yield dict(
        name="config.dat beside an exe in a folder named with outside characters, unquoted",
        mode="W",
        files=["small letters.txt"],
        renames={"small letters.txt": "SMALL_LETTERS.txt"},
        command_line=lambda d: exe_outside + " " + q(d + r"\small letters.txt"))

    yield dict(
        name="case-only changes beside outside characters",
        mode="W",
        exe="exe-upper",
        # écap.txt: éCAP.txt is another file here, and must not be replaced.
        files=["éabc.txt", "〜dir/in.txt", "ö/abc.txt", "x𠮷.txt", "écap.txt", "éCAP.txt"],
        renames={"éabc.txt": "éABC.txt", "〜dir/": "〜DIR/", "ö/abc.txt": "ö/ABC.txt",
                 "x𠮷.txt": "X𠮷.txt"},
        tail=lambda d: quoted_paths(d, ["éabc.txt", "〜dir", "ö/abc.txt", "x𠮷.txt", "écap.txt"]))

    yield dict(
        name="a target already present beside outside characters is never replaced",
        mode="W",
        # ～_d.txt and e_g.txt only look like the targets: they are other names.
        files=["é a.txt", "é_a.txt", "〜 b/in.txt", "〜_b/in.txt", "𠮷 c.txt", "𠮷_c.txt",
               "〜 d.txt", "～_d.txt", "é g.txt", "e_g.txt"],
        renames={"〜 d.txt": "〜_d.txt", "é g.txt": "é_g.txt"},
        tail=lambda d: quoted_paths(d, ["é a.txt", "〜 b", "𠮷 c.txt", "〜 d.txt", "é g.txt"]))

    # Thousands of distinct outside characters on one command line: 40 names
    # of 80 Hangul syllables and 10 of 40 supplementary-plane ideographs,
    # each under Linux's 255 bytes of UTF-8 for a name.
    hangul = [chr(c) for c in range(0xAC00, 0xAC00 + 40 * 80)]
    ideographs = [chr(c) for c in range(0x20000, 0x20000 + 10 * 40)]
    runs = ["".join(hangul[i:i + 80]) for i in range(0, len(hangul), 80)]
    runs += ["".join(ideographs[i:i + 40]) for i in range(0, len(ideographs), 40)]
    assert outside_932("".join(runs)) and len(set("".join(runs))) == 3600
    folder_length = length_932(winetest.win_path(os.path.join(root, "cases", "case00")) + "\\")
    many = {}
    for run in runs:
        half = len(run) // 2
        name = "a" + run[:half] + "b c" + run[half:] + ".txt"
        assert len(name.encode("utf-8")) <= 255 and folder_length + length_932(name) <= 255
        many[name] = "A" + run[:half] + "B_C" + run[half:] + ".txt"
    yield dict(
        name="3600 distinct outside characters on one command line",
        mode="W",
        exe="exe-capitalise",
        files=list(many),
        renames=many,
        tail=lambda d: quoted_paths(d, many))


def history_records(folder):
    """The lines of history.txt in folder, split into fields; None when
    there is none. Every line must end in CRLF."""
    path = os.path.join(folder, "history.txt")
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        data = f.read()
    assert data.endswith(b"\r\n"), data[-40:]
    return [line.split("\t") for line in data.decode("utf-8").split("\r\n")[:-1]]


def cases_history(root):
    # What a batch records beside its exe: each rename with its full old
    # and new path, each path left alone with the reason, and the count of
    # names that needed no change.
    def check_record(folder):
        d = winetest.win_path(folder)
        records = history_records(os.path.join(folder, "hist exe"))
        if records is None:
            return ["no history.txt beside the exe"]
        problems = []
        head = records[0]
        if len(head) != 4 or head[0] != "batch" or head[3] != "1" or not re.fullmatch(
                r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d", head[2]):
            problems.append("first line: %r" % head)
        batch = head[1] if len(head) > 1 else ""
        want = [
            ["move", batch, d + r"\a b.txt", d + r"\a_b.txt"], ["done", batch],
            ["move", batch, d + r"\c d.txt", d + r"\c_d.txt"],
            ["failed", batch, d + r"\c d.txt", "183", "target exists"],
            ["failed", batch, d + r"\gone x.txt", "2", "not found"],
            ["same", batch, d + r"\keep.txt"],
            ["move", batch, d + r"\50%0025 off.txt", d + r"\50%0025_off.txt"], ["done", batch],
            ["move", batch, d + r"\dir x", d + r"\dir_x"], ["done", batch],
            ["move", batch, d + r"\sub\e f.txt", d + r"\sub\e_f.txt"], ["done", batch],
            ["end", batch, "1"],
        ]
        if records[1:] != want:
            problems.append("records:\n         " + "\n         ".join(map(repr, records[1:])))
        return problems
    yield dict(
        name="a batch's record: renames in full, failures with the reason, unchanged names counted",
        own_exe=("hist exe", SPACES),
        cwd=True,
        files=["a b.txt", "c d.txt", "c_d.txt", "keep.txt", "50% off.txt", "dir x/in y.txt",
               "sub/e f.txt"],
        renames={"a b.txt": "a_b.txt", "50% off.txt": "50%_off.txt", "dir x/": "dir_x/",
                 "sub/e f.txt": "sub/e_f.txt"},
        check=check_record,
        command_line=lambda d: q(d + r"\hist exe\blankmender.exe") + " " + " ".join(
            q(d + "\\" + n) for n in ["a b.txt", "c d.txt", "gone x.txt", "keep.txt", "50% off.txt",
                                       "dir x"]) + " " + q(r"sub\..\sub/e f.txt"))

    # A folder nobody may write to (Program Files, a read-only medium): the
    # batch renames as ever and records nothing.
    def check_read_only(folder):
        if history_records(os.path.join(folder, "ro exe")) is not None:
            return ["history.txt in the read-only folder"]
        return []
    yield dict(
        name="an exe in a folder that cannot be written: renamed as ever, nothing recorded",
        own_exe=("ro exe", SPACES),
        read_only="ro exe",
        history=False,
        files=["e f.txt", "g h.txt"],
        renames={"e f.txt": "e_f.txt", "g h.txt": "g_h.txt"},
        check=check_read_only,
        command_line=lambda d: q(d + r"\ro exe\blankmender.exe") + " " + q(d + r"\e f.txt") + " "
        + q(d + r"\g h.txt"))


def history_moves(records):
    """The moves of a history's records: [(old, new, outcome)], outcome being
    "done", the error of a "failed" line, or None."""
    moves = []
    for record in records[1:]:
        if record[0] == "move":
            moves.append([record[2], record[3], None])
        elif record[0] == "done" and moves and moves[-1][2] is None:
            moves[-1][2] = "done"
        elif record[0] == "failed" and moves and moves[-1][2] is None and record[2] == moves[-1][0]:
            moves[-1][2] = record[3]
    return moves


def cases_tree(root):
    def quoted(d, names):
        return " ".join(q(d + "\\" + n.rstrip("/").replace("/", "\\")) for n in names)

    nested = {
        "top dir/a b.txt": "top dir/a_b.txt",
        "top dir/sub 1/c d.txt": "top dir/sub 1/c_d.txt",
        "top dir/sub 1/sub 2/e f": "top dir/sub 1/sub 2/e_f",
        "top dir/sub 1/sub 2/g h/": "top dir/sub 1/sub 2/g_h/",
        "top dir/sub 1/sub 2/": "top dir/sub 1/sub_2/",
        "top dir/sub 1/": "top dir/sub_1/",
        "top dir/会議 資料/写真　2024.jpg": "top dir/会議 資料/写真_2024.jpg",
        "top dir/会議 資料/": "top dir/会議_資料/",
        "top dir/my folder.v2/x y.tar.gz": "top dir/my folder.v2/x_y.tar.gz",
        "top dir/my folder.v2/": "top dir/my_folder.v2/",
        "top dir/ﾃﾞｰﾀ ﾌｧｲﾙ/": "top dir/ﾃﾞｰﾀ_ﾌｧｲﾙ/",
        "top dir/": "top_dir/",
        "single x.txt": "single_x.txt",
    }
    yield dict(
        name="a nested tree: every name at every depth, the dropped folder too",
        exe="exe-tree",
        files=list(nested) + ["top dir/keep.txt", "top dir/sub 1/sub 2/keep", "beside x.txt",
                              "top_dir2/in x.txt"],
        renames=nested,
        tail=lambda d: quoted(d, ["top dir", "single x.txt"]))
    yield dict(
        name="the option off: only the dropped folder's own name",
        files=["off dir/a b.txt", "off dir/sub x/c d", "off dir/sub x/e f/"],
        renames={"off dir/": "off_dir/"},
        tail=lambda d: quoted(d, ["off dir"]))
    # Relative, with '/' and "..": the folder is made full first.
    yield dict(
        name="a folder given relative to the current folder, through '..'",
        exe="exe-tree",
        cwd=True,
        files=["rel x/a b.txt", "rel x/in y/c d.txt"],
        renames={"rel x/a b.txt": "rel x/a_b.txt", "rel x/in y/c d.txt": "rel x/in y/c_d.txt",
                 "rel x/in y/": "rel x/in_y/", "rel x/": "rel_x/"},
        tail=lambda d: q(r"rel x/in y\..\..\rel x"))
    # A change of case only goes through a temporary name where names
    # ignore case, a folder too, its contents renamed before it.
    yield dict(
        name="changes of case only inside a tree",
        exe="exe-tree-upper",
        files=["case tree/abc/def.txt", "case tree/ghi jkl.txt", "case tree/abc/mno/"],
        renames={"case tree/abc/def.txt": "case tree/abc/DEF.txt", "case tree/abc/mno/": "case tree/abc/MNO/",
                 "case tree/abc/": "case tree/ABC/", "case tree/ghi jkl.txt": "case tree/GHI_JKL.txt",
                 "case tree/": "CASE_TREE/"},
        tail=lambda d: quoted(d, ["case tree"]))
    yield dict(
        name="hidden entries: dot names and the hidden attribute, neither entered nor renamed",
        exe="exe-tree",
        files=["hid tree/.git/config x", "hid tree/.DS Store x", "hid tree/.dot dir/a b.txt",
               "hid tree/hidden file x.txt", "hid tree/hidden dir x/in side.txt", "hid tree/seen x.txt",
               "hid tree/seen dir/.hidden x/y z.txt", "hid tree/seen dir/w v.txt"],
        hide=["hid tree/hidden file x.txt", "hid tree/hidden dir x"],
        renames={"hid tree/seen x.txt": "hid tree/seen_x.txt", "hid tree/seen dir/w v.txt": "hid tree/seen dir/w_v.txt",
                 "hid tree/seen dir/": "hid tree/seen_dir/", "hid tree/": "hid_tree/"},
        tail=lambda d: quoted(d, ["hid tree"]))
    # Under Wine a link to a folder lists as a reparse point with tag 0, and
    # moving it would move its target, from wherever it is.
    yield dict(
        name="links: to a folder outside the tree and in loops, they keep their names, nothing outside moves",
        exe="exe-tree",
        files=["outside x/in y.txt", "outside x/sub z/w v.txt", "link tree/a b.txt", "link tree/real dir/c d.txt"],
        links=[("link tree/to outside", "../outside x"), ("link tree/real dir/loop back", ".."),
               ("link tree/self loop", "."), ("link tree/broken link", "no such folder")],
        renames={"link tree/a b.txt": "link tree/a_b.txt", "link tree/real dir/c d.txt": "link tree/real dir/c_d.txt",
                 "link tree/real dir/": "link tree/real_dir/", "link tree/": "link_tree/"},
        tail=lambda d: quoted(d, ["link tree"]))

    # Under Wine a link to a file lists as a plain file, and moving it moves
    # the file it stands for, from wherever it is. "q " stands for "q"
    # beside it, which Wine names without the trailing blank.
    yield dict(
        name="links to files, in a tree and dropped: the file keeps its folder, name and bytes",
        exe="exe-tree",
        files=["outside f/keep me.txt", "flink tree/a b.txt", "flink tree/sub x/c d.txt", "flink tree/q"],
        links=[("flink tree/sub x/link to file.txt", "../../outside f/keep me.txt"),
               ("flink tree/q ", "q"), ("direct link.txt", "outside f/keep me.txt")],
        renames={"flink tree/a b.txt": "flink tree/a_b.txt", "flink tree/sub x/c d.txt": "flink tree/sub x/c_d.txt",
                 "flink tree/sub x/": "flink tree/sub_x/", "flink tree/": "flink_tree/"},
        tail=lambda d: quoted(d, ["flink tree", "direct link.txt"]))
    # Names that end in a blank, as a Mac or Linux leaves them: a plain
    # path loses the blank, and Windows itself cannot open them. Renamed
    # dropped, in a walk and as a folder with its tree, then undone.
    trailing = {"memo ": "memo_", "a b ": "a_b_", "dir /sub /memo ": "dir /sub /memo_", "dir /in x": "dir /in_x",
                "dir /sub /": "dir /sub_/", "dir /": "dir_/", "blank tree/memo ": "blank tree/memo_",
                "blank tree/sub /x ": "blank tree/sub /x_", "blank tree/sub /in file.txt": "blank tree/sub /in_file.txt",
                "blank tree/sub /": "blank tree/sub_/", "blank tree/": "blank_tree/"}
    yield dict(
        name="names ending in a blank: dropped, in a walk, a folder with its tree, then undone; end. unchanged",
        own_exe=("blank exe", TREE),
        undo=True,
        files=list(trailing) + ["end.", "blank tree/end."],
        renames=trailing,
        command_line=lambda d: q(d + r"\blank exe\blankmender.exe") + " " + quoted(
            d, ["memo ", "a b ", "end.", "dir ", "blank tree"]))

    # A taken name is left alone and recorded; everything else goes on,
    # the contents of a folder that keeps its name too.
    def check_conflicts(folder):
        d = winetest.win_path(folder)
        records = history_records(os.path.join(folder, "conf exe"))
        if records is None:
            return ["no history.txt beside the exe"]
        # A name taken in a listed folder is known before any move: the
        # entry is recorded as not renamed, and no move of it is tried.
        moves = history_moves(records)
        got = [m if m[2] == "done" else [m[0], m[2]] for m in moves]
        got += [[r[2], r[3]] for r in records if r[0] == "failed" and all(m[0] != r[2] for m in moves)]
        want = [[d + "\\conf x\\a b.txt", "183"],
                [d + "\\conf x\\d e\\f g.txt", d + "\\conf x\\d e\\f_g.txt", "done"],
                [d + "\\conf x\\d e", "183"],
                [d + "\\conf x\\h i.txt", d + "\\conf x\\h_i.txt", "done"],
                [d + "\\conf x", "183"]]
        problems = []
        # The listing's order is the file system's: compare as sets, and
        # check that each folder comes after what it holds.
        if sorted(got) != sorted(want):
            problems.append("moves:\n         " + "\n         ".join(map(repr, got)))
        order = [r[2] for r in records if r[0] in ("move", "failed")]
        for i, old in enumerate(order):
            if any(other.startswith(old + "\\") for other in order[i + 1:]):
                problems.append("%s moved before what it holds" % old)
        if records[-1][0] != "end":
            problems.append("no end line: %r" % records[-1])
        return problems
    yield dict(
        name="conflicts inside the tree: taken names left alone and recorded",
        own_exe=("conf exe", TREE),
        files=["conf x/a b.txt", "conf x/a_b.txt", "conf x/d e/f g.txt", "conf x/d_e/", "conf x/h i.txt", "conf_x/"],
        renames={"conf x/d e/f g.txt": "conf x/d e/f_g.txt", "conf x/h i.txt": "conf x/h_i.txt"},
        check=check_conflicts,
        command_line=lambda d: q(d + r"\conf exe\blankmender.exe") + " " + quoted(d, ["conf x"]))

    # Folders of 100 units, each with a blank, 20 deep: the walk goes past
    # what a plain path holds, into the extended form, and back.
    chain = ["L%02d " % i + "d" * 96 for i in range(20)]
    deep_files = ["/".join(chain[:i + 1]) + "/x y%d.txt" % i for i in range(20)]
    yield dict(
        name="a tree 20 folders deep, past 2,000 units",
        exe="exe-tree",
        folder="tree-deep",
        files=deep_files,
        renames={},
        expect=lambda before: walked_snapshot(before, chain[0] + "/"),
        tail=lambda d: quoted(d, [chain[0]]))

    # The Japanese, Chinese and accented names of a generated tree; how
    # long it took is printed with the case.
    big = winetest.generated_tree(9000, 1000, seed=19)
    yield dict(
        name="a generated tree of 10,000 entries",
        exe="exe-tree",
        generate=lambda folder: winetest.make_empty_tree(os.path.join(folder, "big tree"), big),
        files=[],
        renames={},
        expect=lambda before: walked_snapshot(before, "big tree/"),
        tail=lambda d: quoted(d, ["big tree"]))

    # The Windows folder, the profile and the folders above and beside
    # them, in a Wine prefix of the case's own: were one walked, that
    # prefix's files would be renamed. A folder inside the profile is
    # walked, in the same prefix; not in Documents, which Wine links to the
    # Linux home.
    yield dict(
        name="the Windows folder, the profile and what lies above them are left alone, and recorded",
        own_prefix=True,
        own_exe=("guard exe", TREE),
        files=[],
        renames={},
        prefix_probes=["windows/guard probe x.txt", "windows/system32/guard probe y.txt",
                       "users/{user}/guard probe z.txt", "Program Files/guard probe w.txt",
                       "ProgramData/guard probe v.txt", "users/{user}/Favorites/walk me/a b.txt"],
        prefix_renames={"users/{user}/Favorites/walk me/a b.txt": "users/{user}/Favorites/walk me/a_b.txt",
                        "users/{user}/Favorites/walk me/": "users/{user}/Favorites/walk_me/"},
        guarded=["C:\\windows", "c:\\WINDOWS", "C:/users/../Windows", "C:\\users\\{user}", "C:\\users",
                 "C:\\Program Files", "C:\\Program Files (x86)", "C:\\ProgramData",
                 # The same folders by other spellings: through Z:, by
                 # another drive letter for drive C, and a short name
                 # (recorded in its long form).
                 "{zc}\\windows", "{zc}\\users\\{user}", "{zc}", "{zc}\\ProgramData", "W:\\windows", "w:\\users",
                 # The folder holding the prefix, above drive C on the Linux
                 # side only (Wine lists no prefix itself).
                 "{zr}",
                 ("C:\\PROG~FBU", "C:\\Program Files")],
        walked=["C:\\users\\{user}\\Favorites\\walk me"])


def walked_snapshot(before, top):
    """The snapshot before as a walk of top leaves it."""
    new = winetest.walked(before, top)
    return {new[rel]: digest for rel, digest in before.items()}


def prefix_user(prefix):
    """The user whose profile the prefix holds."""
    users = [u for u in os.listdir(os.path.join(prefix, "drive_c", "users")) if u != "Public"]
    assert len(users) == 1, users
    return users[0]


def run_in_own_prefix(case, root, launcher, codepage, run):
    """Runs one case in a copy of the tests' Wine prefix: creates its probes
    in the copy's drive C, runs the case, and checks that drive C changed
    only as the case says and that its history refused each guarded
    folder. Returns (result, ms, problems)."""
    prefix = os.path.join(root, "own prefix")
    subprocess.run(["cp", "-a", winetest.wine_prefix(), prefix], check=True)
    try:
        user = prefix_user(prefix)
        drive = os.path.join(prefix, "drive_c")
        probes = [p.format(user=user) for p in case["prefix_probes"]]
        # Nothing may lie outside the copy: the profile's Documents and
        # Desktop are links to the Linux home.
        for probe in probes:
            assert os.path.realpath(os.path.join(drive, probe)).startswith(os.path.realpath(drive) + "/"), probe
        winetest.make_tree(drive, probes)
        # Another drive letter for drive C.
        os.symlink("../drive_c", os.path.join(prefix, "dosdevices", "w:"))
        before = winetest.names_under(drive)
        given = [t if isinstance(t, str) else t[0] for t in case["guarded"]]
        recorded = [t if isinstance(t, str) else t[1] for t in case["guarded"]]
        zr = winetest.win_path(os.path.dirname(prefix))
        tokens = [t.format(user=user, zc=winetest.win_path(drive), zr=zr) for t in given + case["walked"]]
        mode, cwd, program, exe = run
        command_line = q(exe) + " " + " ".join(q(t) for t in tokens)
        [(result, ms)] = winetest.run_launcher(launcher, root, [(mode, cwd, program, command_line)],
                                               timeout_ms=60000, codepage=codepage, prefix=prefix)
        renames = {k.format(user=user): v.format(user=user) for k, v in case["prefix_renames"].items()}
        expected = set(winetest.apply_renames({rel: "" for rel in before}, renames))
        after = winetest.names_under(drive)
        problems = ["missing: " + rel for rel in sorted(expected - after)]
        problems += ["unexpected: " + rel for rel in sorted(after - expected)]
        records = history_records(os.path.join(case["_folder"], case["own_exe"][0])) or []
        refused = sorted(r[2].lower() for r in records if r[0] == "failed" and r[3] == "5")
        want = sorted(t.format(user=user, zc=winetest.win_path(drive), zr=zr).lower().replace("/users/../", "\\")
                      for t in recorded)
        if refused != want:
            problems.append("refused: %r (want %r)" % (refused, want))
        moved = [r[2] for r in records if r[0] == "move"]
        if len(moved) != len(renames):
            problems.append("moves: %r" % moved)
        return result, ms, problems
    finally:
        winetest.stop_wineserver(prefix)
        shutil.rmtree(prefix, ignore_errors=True)


def has_dos_attributes(path):
    try:
        return "user.DOSATTRIB" in os.listxattr(path, follow_symlinks=False)
    except OSError:
        return False


def make_read_only(folder):
    """Makes folder one that nobody, root included, can create a file in:
    immutable where the file system allows it, else without write bits.
    False when it can still be written."""
    os.chmod(folder, 0o555)
    subprocess.run(["chattr", "+i", folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    probe = os.path.join(folder, "probe")
    try:
        open(probe, "wb").close()
    except OSError:
        return True
    os.remove(probe)
    return False


def make_writable(folder):
    subprocess.run(["chattr", "-i", folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.chmod(folder, 0o755)


GROUPS = {
    "tokens": lambda root: cases_tokens(),
    "names": lambda root: cases_names(),
    "folders": lambda root: cases_folders(),
    "limits": cases_limits,
    "case_and_bestfit": lambda root: cases_case_and_bestfit(),
    "program_name": cases_program_name,
    "outside": cases_outside,
    "history": cases_history,
    "tree": cases_tree,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--group", required=True, choices=sorted(GROUPS))
    parser.add_argument("--exe", required=True)
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--codepage", type=int, default=932, choices=winetest.CODEPAGES,
                        help="the ANSI code page to run under (65001: an exe with a manifest)")
    parser.add_argument("--undo", help="undo_latest.exe, which takes a case's batch back as the dialog does")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = parser.parse_args()
    if winetest.has_utf8_manifest(args.exe) != (args.codepage == 65001):
        parser.error("code page 65001 needs the exe with the UTF-8 manifest, and only it does")

    root = winetest.temp_root("bm-e2e-%s-" % args.group)
    failures = []
    read_only = []
    try:
        for folder, word in EXES.items():
            winetest.install_exe(args.exe, os.path.join(root, folder), word)

        cases = list(GROUPS[args.group](root))
        runs = []
        hidden = []
        for index, case in enumerate(cases):
            folder = os.path.join(root, "cases", case.get("folder", "case%02d" % index))
            os.makedirs(folder, exist_ok=True)
            winetest.make_tree(folder, case["files"])
            if "generate" in case:
                case["generate"](folder)
            for link, target in case.get("links", ()):
                os.symlink(target, os.path.join(folder, link))
            hidden += [os.path.join(folder, rel) for rel in case.get("hide", ())]
            if "own_exe" in case:
                subfolder, word = case["own_exe"]
                winetest.install_exe(args.exe, os.path.join(folder, subfolder), word)
            if "read_only" in case:
                read_only.append(os.path.join(folder, case["read_only"]))
                if not make_read_only(read_only[-1]):
                    case["_skip"] = "no folder here can be made read-only"
            before = winetest.snapshot(folder)
            for rel in case["renames"]:
                assert rel in before or rel + "/" in before, rel
            # A batch records beside its exe: that history.txt must be
            # there after it, whatever it holds.
            if "own_exe" in case and case.get("history", True):
                before[case["own_exe"][0] + "/history.txt"] = "history"
            d = winetest.win_path(folder)
            exe = winetest.win_path(os.path.join(root, case.get("exe", "exe-spaces"),
                                                 "blankmender.exe"))
            # The same command line under every code page; CreateProcessA
            # takes 932 bytes only under 932.
            mode = case.get("mode", "A") if args.codepage == 932 else "W"
            case["_folder"] = folder
            case["_before"] = before
            if case.get("own_prefix"):
                case["_run"] = (mode, "", "", winetest.win_path(
                    os.path.join(folder, case["own_exe"][0], "blankmender.exe")))
                continue
            if "command_line" in case:
                command_line = case["command_line"](d)
            else:
                command_line = q(exe) + " " + case["tail"](d)
            runs.append((mode, d if case.get("cwd") else "", "", command_line))

        # The hidden attribute, as Windows sets it (Wine keeps it in an
        # extended attribute of the file).
        if hidden:
            # Wine quotes each argument that holds a blank; "&" stays bare
            # and joins the commands.
            command = ["cmd", "/c"]
            for path in hidden:
                command += ["attrib", "+h", winetest.win_path(path), "&"]
            winetest.run_in_wine(root, command[:-1], codepage=args.codepage)
            for case in cases:
                if any(not has_dos_attributes(os.path.join(case["_folder"], rel)) for rel in case.get("hide", ())):
                    case["_skip"] = "this file system keeps no hidden attribute"

        timeout_ms = 60000 if args.group == "tree" else 20000
        ran = iter(winetest.run_launcher(args.launcher, root, runs, timeout_ms, codepage=args.codepage))
        results = []
        for case in cases:
            if case.get("own_prefix"):
                result, ms, case["_problems"] = run_in_own_prefix(case, root, args.launcher, args.codepage,
                                                                  case["_run"])
                results.append((result, ms))
            else:
                results.append(next(ran))

        # The cases to undo, once their renames are checked: undo_latest.exe
        # beside the case's own exe takes its batch back.
        undone = [case for case in cases if case.get("undo")]
        undo_runs = []
        for case in undone:
            if not args.undo:
                case["_skip"] = "no --undo given"
                continue
            case["_renamed"] = winetest.snapshot(case["_folder"])
            undo = os.path.join(case["_folder"], case["own_exe"][0], "undo_latest.exe")
            shutil.copyfile(args.undo, undo)
            undo_runs.append((case, ("W", "", "", q(winetest.win_path(undo)))))
        if undo_runs:
            for (case, _), (result, _) in zip(undo_runs, winetest.run_launcher(
                    args.launcher, root, [run for _, run in undo_runs], timeout_ms, codepage=args.codepage)):
                after = winetest.snapshot(case["_folder"])
                after.pop(case["own_exe"][0] + "/undo_latest.exe", None)
                case["_undo"] = [] if result == "0" else ["undo: exit %s (want 0, every rename taken back)" % result]
                before = case["_before"]
                for rel in sorted(set(after) | set(before)):
                    if rel not in after or rel not in before:
                        case["_undo"].append("after undo, %s: %s" % ("missing" if rel in before else "unexpected", rel))
                    elif after[rel] != before[rel] and before[rel] != "history":
                        case["_undo"].append("after undo, content changed: %s" % rel)

        for case, (result, ms) in zip(cases, results):
            problems = []
            if result != "0":
                problems.append("exit: %s (want 0, ended by itself)" % result)
            if "expect" in case:
                expected = case["expect"](case["_before"])
            else:
                expected = winetest.apply_renames(case["_before"], case["renames"])
            actual = case.get("_renamed") or winetest.snapshot(case["_folder"])
            for rel in sorted(set(expected) | set(actual)):
                if rel not in actual:
                    problems.append("missing: %s" % rel)
                elif rel not in expected:
                    problems.append("unexpected: %s" % rel)
                elif actual[rel] != expected[rel] and expected[rel] != "history":
                    problems.append("content changed: %s" % rel)
            if "check" in case:
                problems += case["check"](case["_folder"])
            problems += case.get("_problems", []) + case.get("_undo", [])
            # Entries that could not be hidden are renamed: no fault of the
            # program's.
            if "_skip" in case and (not problems or case.get("hide")):
                print("skip %6.0f ms  %s: %s" % (ms, case["name"], case["_skip"]))
                continue
            status = "ok" if not problems else "FAIL"
            print("%-4s %6.0f ms  %s" % (status, ms, case["name"]))
            for problem in problems[:20]:
                print("       " + problem[:300])
            if len(problems) > 20:
                print("       ... and %d more" % (len(problems) - 20))
            if problems:
                failures.append(case["name"])
    finally:
        for folder in read_only:
            make_writable(folder)
        if args.keep or failures:
            print("files kept in", root)
        else:
            shutil.rmtree(root, ignore_errors=True)

    if failures:
        print("%d of %d cases failed" % (len(failures), len(cases)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
