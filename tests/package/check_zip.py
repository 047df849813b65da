"""Builds the package and checks the zip: one folder holding the exe that
was built, the Japanese guide as readme.txt, and the license."""
import argparse
import os
import re
import subprocess
import sys
import zipfile

# Room for the icon's five images, the grown dialog, the portable batch
# and the list window with its list view.
MAX_EXE = 112 * 1024


def main():
    parser = argparse.ArgumentParser()
    for option in ("--cmake", "--build-dir", "--zip", "--exe", "--guide", "--license"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()

    if os.path.exists(args.zip):
        os.remove(args.zip)
    built = subprocess.run([args.cmake, "--build", args.build_dir, "--target", "package"],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if built.returncode != 0:
        sys.exit("building the package failed:\n" + built.stdout)

    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)

    folder = os.path.basename(args.zip)[: -len(".zip")]
    with zipfile.ZipFile(args.zip) as archive:
        check(archive.testzip() is None, "a member's CRC is wrong")
        names = sorted(n for n in archive.namelist() if not n.endswith("/"))
        want = sorted(folder + "/" + n for n in ("blankmender.exe", "readme.txt", "LICENSE.txt"))
        if names != want:
            sys.exit("the zip holds %s, not %s" % (names, want))
        exe = archive.read(folder + "/blankmender.exe")
        readme = archive.read(folder + "/readme.txt")
        license_text = archive.read(folder + "/LICENSE.txt")

    with open(args.exe, "rb") as f:
        check(exe == f.read(), "blankmender.exe differs from the one built")
    check(len(exe) <= MAX_EXE, "blankmender.exe is %d bytes, over %d" % (len(exe), MAX_EXE))

    # Notepad: UTF-8 with a byte order mark, every line ended by CRLF.
    check(readme.startswith(b"\xef\xbb\xbf"), "readme.txt has no UTF-8 byte order mark")
    try:
        text = readme[3:].decode("utf-8")
    except UnicodeDecodeError as error:
        sys.exit("readme.txt is not UTF-8: %s" % error)
    check(text.endswith("\r\n") and text.count("\n") == text.count("\r\n") == text.count("\r"),
          "readme.txt has a line end other than CRLF")
    japanese = re.findall(r"[\u3040-\u30ff\u4e00-\u9fff]", text)
    check(len(japanese) > 1000, "readme.txt holds %d Japanese characters" % len(japanese))
    # Made from the guide as it is now: each of its headings is there.
    with open(args.guide, encoding="utf-8") as f:
        headings = re.findall(r"^#+ (.*)$", f.read(), re.M)
    for heading in headings:
        check(heading.replace("`", "") in text, "readme.txt lacks the heading " + heading)

    with open(args.license, "rb") as f:
        check(license_text == f.read().replace(b"\n", b"\r\n"),
              "LICENSE.txt is not the repository's LICENSE with CRLF line ends")

    for failure in failures:
        print("FAIL:", failure)
    print("%s: %d bytes, exe %d bytes" % (os.path.basename(args.zip), os.path.getsize(args.zip), len(exe)))
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
