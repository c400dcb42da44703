#!/usr/bin/env bash
# Whether our own zip code below libzip pays (kelvo_zip_engine_bench says
# how it is measured): the parallel deflate against libzip's deflate on one
# thread, and our zip checker against reading the zip back through libzip.
#   bench/bench_zip_engine.sh <build dir>   KELVO_BENCH_ROUNDS=5 KELVO_BENCH_CHECK_ROUNDS=9
# Inputs, all made here:
#   text/   7zz -mx0 -v1440000b volumes of a mixed source (text files with
#           some small random ones): stored 7z output that deflate shrinks;
#   noise/  the same of random data: 7z output that nothing shrinks;
#   large/  one 50 MB file of text with random runs;
#   a 2 KB DIZ and a 10 KB NFO that go into every zip.
# Prints median ratios ours / libzip of the rounds, each side taking turns,
# of the time and of the CPU used. A parallel deflate near 1.0 for "2 threads
# / 1 thread" means the run never had a second core (another session's
# build or fuzzer): the time ratios of the parallel code then say nothing
# about a machine that has one.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
driver=$build/bench/kelvo_zip_engine_bench
[ -x "$driver" ] || { echo "can't run '$driver': build kelvo_zip_engine_bench first" >&2; exit 1; }
for tool in 7zz python3; do
  command -v $tool >/dev/null || { echo "can't run '$tool': not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvo-bench-zip-engine-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src" "$work/text" "$work/noise" "$work/large"

python3 - "$work" <<'MAKE'
import os, random, sys
work = sys.argv[1]
rng = random.Random(1998)
words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
         for _ in range(5000)]
# Words as often as in real text (Zipf): evenly drawn ones leave level 9
# nothing more to find than level 6.
weights = [1 / rank for rank in range(1, len(words) + 1)]
pool = bytearray()
while len(pool) < 8_000_000:
    pool += (" ".join(rng.choices(words, weights, k=rng.randint(4, 14))) + "\r\n").encode()

def text(size):
    start = rng.randrange(len(pool) - size)
    return bytes(pool[start:start + size])

# About 44 MB of sources, a tenth of them random: 31 floppy volumes.
total, i = 0, 0
while total < 44_000_000:
    if i % 5 == 4:
        data, name = rng.randbytes(rng.randint(10_000, 40_000)), "data%04d.bin" % i
    else:
        data, name = text(rng.randint(30_000, 300_000)), "text%04d.txt" % i
    folder = os.path.join(work, "src", "dir%02d" % (i % 20))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    total += len(data)
    i += 1

# 50 MB of text with a 4 KB random run every 1 MB or so.
with open(os.path.join(work, "large", "release.txt"), "wb") as f:
    written = 0
    while written < 50_000_000:
        piece = text(1_000_000) + rng.randbytes(4096)
        f.write(piece)
        written += len(piece)
MAKE

7zz a -t7z -mx0 -v1440000b -y "$work/text/demo.7z" "$work/src/"* >/dev/null
rm -rf "$work/src"
head -c 43000000 /dev/urandom > "$work/noise.bin"
7zz a -t7z -mx0 -v1440000b -y "$work/noise/noise.7z" "$work/noise.bin" >/dev/null
rm "$work/noise.bin"

for i in $(seq 1 30); do printf '\xb0\xb1\xb2 DEMO release  %02d/99  line %02d \xb2\xb1\xb0\r\n' 1 "$i"; done |
  head -c 2048 > "$work/file_id.diz"
for i in $(seq 1 200); do printf '\xdb\xdb\xb2\xb2 NFO art and notes, line %03d \xb2\xb2\xdb\xdb\r\n' "$i"; done |
  head -c 10240 > "$work/demo.nfo"

cat "$work"/text/* "$work"/noise/* "$work"/large/* > /dev/null  # into the page cache
"$driver" "$work" "${KELVO_BENCH_ROUNDS:-5}" "${KELVO_BENCH_CHECK_ROUNDS:-9}"
