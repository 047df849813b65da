#!/usr/bin/env bash
# Times the half-width job (full-width digits and letters to half width) of
# `halfwidth` against `nkf -Z0` on the same generated file of names, side by
# side in one run, on each corpus mix, and checks that both give the same
# bytes. Then the katakana jobs of `katakana` on the kana mix (3):
# half-width katakana to full width against `nkf -X`, and full-width
# katakana to half width against `nkf -Z4 -x`, the same way.
#
#   bench/compare-nkf.sh [BUILD_DIR] [MEGABYTES] [RUNS] [MIXES] [KANA]
#
# BUILD_DIR defaults to build/native and must already hold bench/halfwidth,
# bench/katakana and bench/make_corpus (this script builds nothing). The file
# holds MEGABYTES * 10^6 bytes of names (default 64); each program runs RUNS
# times (default 3), alternating, and its fastest run counts. MIXES is "1 2"
# by default (make_corpus -x); KANA is "kana" by default, and empty leaves
# the katakana jobs out. Only different bytes make the script fail, never a
# missed speed target.
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
mixes=${4-1 2}
kana=${5-kana}

halfwidth=$build/bench/halfwidth
katakana=$build/bench/katakana
make_corpus=$build/bench/make_corpus
for tool in "$halfwidth" "$katakana" "$make_corpus"; do
  if [ ! -x "$tool" ]; then
    echo "missing $tool: build the halfwidth target (it brings make_corpus along)" >&2
    exit 2
  fi
done
command -v nkf >/dev/null || { echo "nkf is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

elapsed_ns() {
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  echo $((end - start))
}

# One line of figures: name, time in ns; against $best_nkf, over $bytes.
line() {
  printf '  %-28s %8.3f s  %8s MB/s  %6sx nkf\n' "$1" \
    "$(awk -v n="$2" 'BEGIN { print n / 1e9 }')" \
    "$(awk -v b="$bytes" -v ns="$2" 'BEGIN { printf "%.1f", b / 1e6 / (ns / 1e9) }')" \
    "$(awk -v a="$best_nkf" -v b="$2" 'BEGIN { printf "%.2f", a / b }')"
}

status=0
for mix in $mixes; do
  "$make_corpus" -m "$megabytes" -x "$mix" -o "$work/names.txt"
  bytes=$(wc -c < "$work/names.txt")
  lines=$(wc -l < "$work/names.txt")
  cat "$work/names.txt" > /dev/null # into the page cache before any timing

  best_ours= best_nkf=
  for ((i = 1; i <= runs; i++)); do
    t=$(elapsed_ns sh -c '"$1" < "$2" > "$3"' halfwidth "$halfwidth" "$work/names.txt" "$work/ours.txt")
    if [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ]; then best_ours=$t; fi
    t=$(elapsed_ns sh -c 'nkf -Z0 -S -s -x -m0 < "$1" > "$2"' nkf "$work/names.txt" "$work/nkf.txt")
    if [ -z "$best_nkf" ] || [ "$t" -lt "$best_nkf" ]; then best_nkf=$t; fi
  done

  echo "mix $mix: $lines names, $bytes bytes; best of $runs runs each, file in, file out"
  line "halfwidth" "$best_ours"
  line "nkf -Z0 -S -s -x -m0" "$best_nkf"
  ratio=$(awk -v a="$best_nkf" -v b="$best_ours" 'BEGIN { printf "%.2f", a / b }')
  verdict=$(awk -v r="$ratio" 'BEGIN { print (r >= 2 ? "met" : "MISSED") }')
  echo "  ratio halfwidth / nkf: ${ratio}x (target >= 2x: $verdict)"

  ours_bytes=$(wc -c < "$work/ours.txt")
  echo "  bytes removed: halfwidth $((bytes - ours_bytes)), nkf $((bytes - $(wc -c < "$work/nkf.txt")))"
  if cmp -s "$work/ours.txt" "$work/nkf.txt"; then
    echo "  outputs: identical ($ours_bytes bytes)"
  else
    differing=$(diff "$work/ours.txt" "$work/nkf.txt" | grep -c '^<' || true)
    echo "  outputs: DIFFER from nkf on $differing lines; first difference:"
    diff "$work/ours.txt" "$work/nkf.txt" | head -4 | od -An -c | head -12
    status=1
  fi
done

# The katakana jobs: one file of the kana mix, each direction against the
# nkf options that do the same to katakana (and, for -Z4, to nothing the mix
# holds besides).
if [ -n "$kana" ]; then
  "$make_corpus" -m "$megabytes" -x 3 -o "$work/kana.txt"
  bytes=$(wc -c < "$work/kana.txt")
  lines=$(wc -l < "$work/kana.txt")
  cat "$work/kana.txt" > /dev/null
  echo "mix 3 (kana): $lines names, $bytes bytes; best of $runs runs each, file in, file out"
  for job in full half; do
    if [ "$job" = full ]; then ours_flag=-f; nkf_flags="-X -S -s -m0"; else ours_flag=-h; nkf_flags="-Z4 -x -S -s -m0"; fi
    best_ours= best_nkf=
    for ((i = 1; i <= runs; i++)); do
      t=$(elapsed_ns sh -c '"$1" "$2" < "$3" > "$4"' katakana "$katakana" "$ours_flag" "$work/kana.txt" "$work/ours.txt")
      if [ -z "$best_ours" ] || [ "$t" -lt "$best_ours" ]; then best_ours=$t; fi
      # shellcheck disable=SC2086
      t=$(elapsed_ns sh -c 'nkf $1 < "$2" > "$3"' nkf "$nkf_flags" "$work/kana.txt" "$work/nkf.txt")
      if [ -z "$best_nkf" ] || [ "$t" -lt "$best_nkf" ]; then best_nkf=$t; fi
    done
    line "katakana $ours_flag" "$best_ours"
    line "nkf $nkf_flags" "$best_nkf"
    ratio=$(awk -v a="$best_nkf" -v b="$best_ours" 'BEGIN { printf "%.2f", a / b }')
    verdict=$(awk -v r="$ratio" 'BEGIN { print (r >= 2 ? "met" : "MISSED") }')
    echo "  ratio katakana $ours_flag / nkf: ${ratio}x (target >= 2x: $verdict)"
    if cmp -s "$work/ours.txt" "$work/nkf.txt"; then
      echo "  outputs: identical ($(wc -c < "$work/ours.txt") bytes)"
    else
      differing=$(diff "$work/ours.txt" "$work/nkf.txt" | grep -c '^<' || true)
      echo "  outputs: DIFFER from nkf on $differing lines; first difference:"
      diff "$work/ours.txt" "$work/nkf.txt" | head -4 | od -An -c | head -12
      status=1
    fi
  done
fi
exit $status
