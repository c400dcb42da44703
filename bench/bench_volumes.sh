#!/usr/bin/env bash
# The volume-set stand-in (wrar) against a plain 7zz call on the same
# generated source (200 MB: half random, half text, 2,000 files in 40
# folders), same level, floppy-sized volumes.
#   bench/bench_volumes.sh <build dir>
#   KELVO_BENCH_LEVEL=0..5 (default 1), KELVO_BENCH_ROUNDS (default 1)
# Each round runs plain 7zz, then the stand-in; with more rounds the best of
# each counts, which damps other load on a shared machine. Prints the times
# and the ratios stand-in / plain 7zz, wall and CPU (goal <= 1.05).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
level=${KELVO_BENCH_LEVEL:-1}
rounds=${KELVO_BENCH_ROUNDS:-1}
wrar=$build/app/wrar
[ -x "$wrar" ] || { echo "no $wrar: build first" >&2; exit 1; }
command -v 7zz >/dev/null || { echo "7zz is not on the PATH" >&2; exit 1; }

work=$(mktemp -d /tmp/kelvo-bench-volumes-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/d/src"

python3 "$(dirname "$0")/make_source.py" "$work/d/src"

python3 - "$work" "$wrar" "$level" "$rounds" <<'MEASURE'
import os, resource, shutil, subprocess, sys, time
work, wrar, level, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
mx = (0, 1, 2, 3, 5, 9)[level]  # the stand-ins' own level table

def timed(argv, env=None):
    subprocess.run(["sync"], check=True)  # start with nothing left to write back
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    subprocess.run(argv, env=env, check=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)

env = dict(os.environ, KELVO32_DRIVES="c=%s/c\x1fd=%s/d" % (work, work))
plain, standin = [], []
for _ in range(rounds):
    for d in ("plain", "c"):
        shutil.rmtree(os.path.join(work, d), ignore_errors=True)
        os.makedirs(os.path.join(work, d))
    plain.append(timed(["7zz", "a", "-t7z", "-mx%d" % mx, "-v1440000b", "-y", "-bso0", "-bsp0",
                        work + "/plain/BENCH.7z", work + "/d/src"]))
    standin.append(timed([wrar, "a", "-r", "-v1440000b", "-m%d" % level, "-y",
                          "c:\\Kelvo001\\BENCH.rar", "d:\\src"], env))
    volumes = len(os.listdir(work + "/plain"))
    if len(os.listdir(work + "/c/Kelvo001")) != volumes:
        sys.exit("the two sets have different volume counts")

pw, pc = min(w for w, _ in plain), min(c for _, c in plain)
sw, sc = min(w for w, _ in standin), min(c for _, c in standin)
print("level -m%d (-mx%d), %d volumes, best of %d: plain 7zz %.2f s (cpu %.2f s), "
      "wrar %.2f s (cpu %.2f s)" % (level, mx, volumes, rounds, pw, pc, sw, sc))
print("ratio wrar / 7zz: wall %.3f, cpu %.3f (goal <= 1.05)" % (sw / pw, sc / pc))
MEASURE
