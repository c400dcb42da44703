#!/usr/bin/env bash
# The size tool against `du -sb` over a generated tree of 100,000 small
# files (100 directories of 1,000), one run each on a warm cache. Prints the
# time ratio size/du (goal: at most 1.2) and checks that both agree on the
# bytes: du also counts the directories themselves, so those are added to
# the tool's total of the files.
set -euo pipefail
build=${1:?build directory}
tool="$build/app/size"
[ -x "$tool" ] || { echo "no size tool in $build/app" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvo-bench-size-XXXXXX")
trap 'rm -rf "$work"' EXIT
tree="$work/tree"

python3 - "$tree" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(100):
    path = os.path.join(root, "d%02d" % (d // 10), "s%02d" % d)
    os.makedirs(path)
    for f in range(1000):
        with open(os.path.join(path, "f%04d.txt" % f), "wb") as out:
            out.write(b"x" * ((d * 1000 + f) % 200))
PY

# Warm the cache for both the same way.
du -sb "$tree" > /dev/null

now() { date +%s.%N; }
t0=$(now)
du_bytes=$(du -sb "$tree" | cut -f1)
t1=$(now)
report=$(KELVO32_DRIVES="d=$tree" "$tool" 'd:\' /s /t)
t2=$(now)

size_bytes=$(printf '%s\n' "$report" | tr -d '\r' | grep -A1 '^  Total of all files found$' | tail -1 |
  awk '{gsub(",", "", $1); print $1}')
dir_bytes=$(find "$tree" -type d -printf '%s\n' | awk '{s += $1} END {print s}')
if [ "$((size_bytes + dir_bytes))" != "$du_bytes" ]; then
  echo "size reports $size_bytes file bytes + $dir_bytes directory bytes, du $du_bytes" >&2
  exit 1
fi

awk -v t0="$t0" -v t1="$t1" -v t2="$t2" 'BEGIN {
  du = t1 - t0; sz = t2 - t1
  printf "size/du over 100,000 files: %.2f (du %.3f s, size %.3f s; goal <= 1.20)\n", sz / du, du, sz
  exit (sz / du > 1.2)
}'
