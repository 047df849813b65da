#!/usr/bin/env bash
# Every job of the benchmark on both corpus mixes, with the fast path
# (bench_convert) and on the character walk alone (bench_convert_scalar),
# alternating, in one run; then compare-nkf.sh on both mixes. The fastest of
# RUNS rounds of each job counts. SKIP_NKF=1 leaves out compare-nkf.sh.
#
#   bench/side-by-side.sh [BUILD_DIR] [RUNS] [FILTER]
#
# BUILD_DIR defaults to build/native, built with the fast path on (the
# default), so that it holds both benchmarks, halfwidth, halfwidth_scalar
# and make_corpus. FILTER is a regular expression for the jobs (without
# their mix1/ or mix2/), by default every job but the linearity runs.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/native}
runs=${2:-3}
filter=${3:-'.*'}

for tool in bench_convert bench_convert_scalar; do
  if [ ! -x "$build/bench/$tool" ]; then
    echo "missing $build/bench/$tool: build the native preset with the fast path on" >&2
    exit 2
  fi
done

results=$(mktemp)
trap 'rm -f "$results"' EXIT
for ((i = 1; i <= runs; i++)); do
  for tool in bench_convert bench_convert_scalar; do
    "$build/bench/$tool" --benchmark_filter="^mix[12]/($filter)\$" --benchmark_min_time=0.2 2>/dev/null |
      awk -v tool="$tool" '/^Summary/ { on = 1; next } on && /MB\/s/ { print tool, $1, $2 } /^Linearity/ { on = 0 }' \
        >> "$results"
  done
done

echo "MB/s (10^6 input bytes per second, copy into the name buffer included), best of $runs rounds"
awk '
  { key = $2; if (!(key in seen)) { seen[key] = 1; order[n++] = key }
    if ($3 > best[$1, key]) best[$1, key] = $3 }
  END {
    printf "  %-42s %10s %10s %8s\n", "job", "fast path", "scalar", "speedup"
    for (i = 0; i < n; i++) {
      k = order[i]; f = best["bench_convert", k]; s = best["bench_convert_scalar", k]
      printf "  %-42s %10.1f %10.1f %7.2fx\n", k, f, s, (s > 0 ? f / s : 0)
    }
  }' "$results"
echo
[ -n "${SKIP_NKF:-}" ] || bench/compare-nkf.sh "$build" 64 "$runs"
