#!/usr/bin/env bash
# The volume-set stand-in (wrar) against a plain 7zz call on the same
# generated source (200 MB: half random, half text, 2,000 files in 40
# folders), same level, floppy-sized volumes, one run each.
#   bench/bench_volumes.sh <build dir>     KELVO_BENCH_LEVEL=0..5 (default 1)
# Prints both times and the ratio stand-in / plain 7zz (goal <= 1.05).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
level=${KELVO_BENCH_LEVEL:-1}
mx=(0 1 2 3 5 9)
wrar=$build/app/wrar
[ -x "$wrar" ] || { echo "no $wrar: build first" >&2; exit 1; }
command -v 7zz >/dev/null || { echo "7zz is not on the PATH" >&2; exit 1; }

work=$(mktemp -d /tmp/kelvo-bench-volumes-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/d/src" "$work/c" "$work/plain"

# 1,000 files of 100,000 random bytes and 1,000 of 100,000 bytes of text.
python3 - "$work/d/src" <<'EOF'
import os, random, sys
root = sys.argv[1]
rng = random.Random(1998)
words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
         for _ in range(5000)]
pool = bytearray()
while len(pool) < 4_000_000:
    line = " ".join(rng.choices(words, k=rng.randint(4, 14)))
    pool += (line + "\r\n").encode()
size = 100_000
for i in range(2000):
    folder = os.path.join(root, "dir%02d" % (i % 40))
    os.makedirs(folder, exist_ok=True)
    if i % 2:
        start = rng.randrange(len(pool) - size)
        data = bytes(pool[start:start + size])
        name = "text%04d.txt" % i
    else:
        data = os.urandom(size)
        name = "rand%04d.bin" % i
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
EOF

now() { date +%s.%N; }

sync  # both runs start with nothing left to write back
t0=$(now)
7zz a -t7z "-mx${mx[$level]}" -v1440000b -y -bso0 -bsp0 "$work/plain/BENCH.7z" "$work/d/src"
t1=$(now)
sync
t1s=$(now)
KELVO32_DRIVES="c=$work/c"$'\x1f'"d=$work/d" \
  "$wrar" a -r -v1440000b "-m$level" -y 'c:\Kelvo001\BENCH.rar' 'd:\src'
t2=$(now)

plain_volumes=$(ls "$work/plain" | wc -l)
wrar_volumes=$(ls "$work/c/Kelvo001" | wc -l)
[ "$plain_volumes" -eq "$wrar_volumes" ] ||
  { echo "volume counts differ: $plain_volumes vs $wrar_volumes" >&2; exit 1; }

awk -v a="$t0" -v b="$t1" -v b2="$t1s" -v c="$t2" -v l="$level" -v n="$wrar_volumes" 'BEGIN {
  plain = b - a; standin = c - b2
  printf "level -m%d, %d volumes: plain 7zz %.2f s, wrar %.2f s\n", l, n, plain, standin
  printf "ratio wrar / 7zz: %.3f (goal <= 1.05)\n", standin / plain
}'
