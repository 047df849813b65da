#!/usr/bin/env bash
# Benchmark: 500 files renamed by blankmender.exe in one run under Wine,
# against a floor program that only calls MoveFileW for each; or, with
# --tree N, a dropped folder of N entries against a floor that lists and
# moves the same.
#   bench/bench-rename.sh [build dir] [--depth UNITS] [--files N] [--tree N]
#   (default build/windows; see bench_rename.py for the options)
set -euo pipefail
cd "$(dirname "$0")/.."
build="build/windows"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then
  build=$1
  shift
fi
if [ ! -f "$build/blankmender.exe" ]; then
  cmake --preset windows -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target blankmender wine_launcher floor_move floor_tree undo_latest plan_tree >/dev/null
floor="$build/bench/floor_move.exe"
for argument in "$@"; do
  if [ "$argument" = "--tree" ]; then
    floor="$build/bench/floor_tree.exe"
  fi
done
exec python3 bench/bench_rename.py --exe "$build/blankmender.exe" \
  --launcher "$build/tests/wine/wine_launcher.exe" --floor "$floor" \
  --undo "$build/bench/undo_latest.exe" --plan "$build/bench/plan_tree.exe" "$@"
