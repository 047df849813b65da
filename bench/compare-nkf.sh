#!/usr/bin/env bash
# Times the half-width job (full-width digits and letters to half width) of
# `halfwidth` against `nkf -Z0` on the same generated file of names, side by
# side in one run, and checks that both give the same bytes.
#
#   bench/compare-nkf.sh [BUILD_DIR] [MEGABYTES] [RUNS]
#
# BUILD_DIR defaults to build/native and must already hold bench/halfwidth
# and bench/make_corpus (this script builds nothing). The file holds
# MEGABYTES * 10^6 bytes of names (default 64); each program runs RUNS times
# (default 3), alternating, and its fastest run counts.
#
# nkf flags: -S Shift-JIS in, -s Shift-JIS out, -x keep half-width katakana
# (nkf would otherwise widen them), -m0 no MIME decoding, -Z0 full-width
# alphanumerics to ASCII. Line ends are left alone without -L. -Z0 also turns
# the full-width forms of ASCII punctuation (！＃（）＿－ ...) into ASCII,
# which Blankmender never does; the corpus holds none of them.
set -euo pipefail

build=${1:-build/native}
megabytes=${2:-64}
runs=${3:-3}

halfwidth=$build/bench/halfwidth
make_corpus=$build/bench/make_corpus
for tool in "$halfwidth" "$make_corpus"; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool: build the halfwidth target (it brings make_corpus along)" >&2
    exit 2
  fi
done
command -v nkf >/dev/null || { echo "nkf is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$make_corpus" -m "$megabytes" -o "$work/names.txt"
bytes=$(wc -c < "$work/names.txt")
lines=$(wc -l < "$work/names.txt")
cat "$work/names.txt" > /dev/null # into the page cache before any timing

elapsed_ns() {
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  echo $((end - start))
}

best_ours=
best_nkf=
for ((i = 1; i <= runs; i++)); do
  t=$(elapsed_ns sh -c '"$1" < "$2" > "$3"' halfwidth "$halfwidth" "$work/names.txt" "$work/ours.txt")
  if [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ]; then best_ours=$t; fi
  t=$(elapsed_ns sh -c 'nkf -Z0 -S -s -x -m0 < "$1" > "$2"' nkf "$work/names.txt" "$work/nkf.txt")
  if [ -z "$best_nkf" ] || [ "$t" -lt "$best_nkf" ]; then best_nkf=$t; fi
done

mbs() { awk -v b="$bytes" -v ns="$1" 'BEGIN { printf "%.1f", b / 1e6 / (ns / 1e9) }'; }
ours_mbs=$(mbs "$best_ours")
nkf_mbs=$(mbs "$best_nkf")
ratio=$(awk -v a="$best_nkf" -v b="$best_ours" 'BEGIN { printf "%.2f", a / b }')

echo "input: $lines names, $bytes bytes; best of $runs runs each, file in, file out"
printf '  %-28s %8.3f s  %8s MB/s\n' "halfwidth" "$(awk -v n="$best_ours" 'BEGIN { print n / 1e9 }')" "$ours_mbs"
printf '  %-28s %8.3f s  %8s MB/s\n' "nkf -Z0 -S -s -x -m0" "$(awk -v n="$best_nkf" 'BEGIN { print n / 1e9 }')" "$nkf_mbs"
verdict=$(awk -v r="$ratio" 'BEGIN { print (r >= 3 ? "met" : "MISSED") }')
echo "  ratio halfwidth / nkf: ${ratio}x (target >= 3x: $verdict)"

ours_bytes=$(wc -c < "$work/ours.txt")
echo "  bytes removed: halfwidth $((bytes - ours_bytes)), nkf $((bytes - $(wc -c < "$work/nkf.txt")))"
if cmp -s "$work/ours.txt" "$work/nkf.txt"; then
  echo "outputs: identical ($ours_bytes bytes)"
else
  differing=$(diff "$work/ours.txt" "$work/nkf.txt" | grep -c '^<' || true)
  echo "outputs: DIFFER on $differing lines; first difference:"
  diff "$work/ours.txt" "$work/nkf.txt" | head -4 | od -An -c | head -12
  exit 1
fi
