#!/usr/bin/env bash
# Runs every benchmark (bench/bench_*.sh) against a build directory. Each
# prints its figures as ratios against a baseline measured in the same run.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$build" && pwd)
status=0
for b in "$here"/bench_*.sh; do
  [ -e "$b" ] || continue
  echo "== $(basename "$b" .sh)"
  bash "$b" "$build" || status=1
done
exit $status
