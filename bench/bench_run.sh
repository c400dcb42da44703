#!/usr/bin/env bash
# The whole run against the hand pipeline an expert would script, on the
# same generated source (200 MB: half random, half text, 2,000 files), with
# DIZ numbering, an NFO, a zip comment and floppy-sized volumes:
#   run:  the program on '!job.kvo' (archiver stand-in, zips, DIZ stamps, and
#         the comment its Kelvo32.ini remembers), from a copy of its folder
#   hand: 7zz -v1440000b at the same 7-Zip level, then per volume
#         "zip -6 -j" with the DIZ and NFO and "zip -z" for the comment.
# At two levels, "Store" (-m0) and "Fast" (-m2), in one run; at each level
# rounds of both sides, interleaved with their order alternating.
#   bench/bench_run.sh <build dir>     KELVO_BENCH_LEVELS="0 2" KELVO_BENCH_ROUNDS=3
# Prints the median ratios run / hand (goals: <= 0.6 at Store, <= 0.9 at Fast) and
# the peak memory of the program itself, not of the archiver it runs
# (kelvo_peak; goal <= 64 MB). KELVO_BENCH_PROGRAM names another program.
# Where the build has kelvo32_unchecked (the program with its zips not read
# back, built only for this), it runs in the same rounds as a third side, so
# that the cost of the check shows as the difference of the two ratios.
# With par2 installed, the program runs once more per round with "PAR&2" at
# 10 %, and the cost of the recovery files shows as the median ratio of that
# run to the run without them.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
levels=${KELVO_BENCH_LEVELS:-0 2}
program=${KELVO_BENCH_PROGRAM:-$build/app/kelvo32}
peak=$build/bench/kelvo_peak
for p in "$program" "$peak"; do
  [ -x "$p" ] || { echo "can't run '$p': build the project first" >&2; exit 1; }
done
for tool in 7zz zip python3; do
  command -v $tool >/dev/null || { echo "can't run '$tool': not installed" >&2; exit 1; }
done

work=$(mktemp -d /tmp/kelvo-bench-run-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/c/rel" "$work/d/src" "$work/e"

python3 "$(dirname "$0")/make_source.py" "$work/d/src"

for i in $(seq 1 30); do printf '\xb0\xb1 BENCH release  disk xx/xx  line %02d \xb1\xb0\r\n' "$i"; done |
  head -c 2048 > "$work/c/rel/file_id.diz"
for i in $(seq 1 200); do printf '\xdb\xb2 NFO art and notes, line %03d \xb2\xdb\r\n' "$i"; done |
  head -c 10240 > "$work/c/rel/bench.nfo"
printf '\xc9\xcd\xcd\xbb BENCH release \xc8\xcd\xcd\xbc\r\n' > "$work/c/comment.txt"

# The program runs from a copy of its folder, whose Kelvo32.ini remembers
# the comment; the build's own folder is left alone.
cp -a "$(dirname "$(realpath "$program")")" "$work/app"
printf '\r\n\r\n\r\nc:\\comment.txt\r\n' > "$work/app/Kelvo32.ini"
run=("$peak" -o "$work/peak" "$work/app/$(basename "$program")")
unchecked=""
if [ -z "${KELVO_BENCH_PROGRAM:-}" ] && [ -x "$work/app/kelvo32_unchecked" ]; then
  unchecked="$work/app/kelvo32_unchecked"
fi
export KELVO_BENCH_UNCHECKED=$unchecked
# The program's own settings per side: none, or the recovery files at 10 %.
mkdir -p "$work/config-plain" "$work/config-par2/kelvo32"
printf '[General]\npar2=true\npar2Percent=10\n' > "$work/config-par2/kelvo32/kelvo32.conf"
export KELVO_BENCH_PAR2=$(command -v par2 || true)

export KELVO32_DRIVES=$(printf 'c=%s/c\x1fd=%s/d\x1fe=%s/e\x1fz=/' "$work" "$work" "$work")
# Unattended as on a server: the program takes the offscreen platform.
unset DISPLAY WAYLAND_DISPLAY

python3 - "$work" "${run[@]}" "$levels" <<'MEASURE'
import os, shutil, statistics, subprocess, sys, time
work, levels = sys.argv[1], [int(x) for x in sys.argv[-1].split()]
run = sys.argv[2:-1]
names = ("Store", "Fastest", "Fast", "Normal", "Good", "Maximum!")

def script(level):
    lines = ["Kelvo32 script - 12-08-2026  12:00:00", "Source: d:\\src", "Skip: ", "",
             "Diz: c:\\rel\\file_id.diz", "AutoN: True", "Col: 24", "Lin: 1",
             "Nfo: c:\\rel\\bench.nfo", " 1st: 0", " File:False", " Extra:",
             "Zip: e:\\zips", " name:BENCH", " Size: 3", " Solid: %d" % level, " Extra: 0"]
    with open(work + "/c/job.kvo", "wb") as f:
        f.write("".join(l + "\r\n" for l in lines).encode())

def fresh():
    for d in ("e", "hand"):
        shutil.rmtree(os.path.join(work, d), ignore_errors=True)
        os.makedirs(os.path.join(work, d, "zips"))
    for d in os.listdir(work + "/c"):
        if d.startswith("Kelvo"):
            shutil.rmtree(os.path.join(work, "c", d))
    subprocess.run(["sync"], check=True)

unchecked = os.environ.get("KELVO_BENCH_UNCHECKED", "")
par2 = os.environ.get("KELVO_BENCH_PAR2", "")

def run_kelvo(level, program=None, config="plain"):
    script(level)
    command = run[:-1] + [program] if program else run
    env = dict(os.environ, XDG_CONFIG_HOME=work + "/config-" + config)
    start = time.monotonic()
    done = subprocess.run(command + ["!c:\\job.kvo"], capture_output=True, text=True, env=env)
    wall = time.monotonic() - start
    if done.returncode != 0:
        sys.exit("the run failed (%d): %s" % (done.returncode, done.stderr))
    with open(work + "/peak") as f:
        peak = int(f.read())
    return wall, peak, len(os.listdir(work + "/e/zips"))

def run_hand(level):
    mx = (0, 1, 2, 3, 5, 9)[level]
    hand = work + "/hand"
    start = time.monotonic()
    subprocess.run(["7zz", "a", "-t7z", "-mx%d" % mx, "-v1440000b", "-y", "-bso0", "-bsp0",
                    hand + "/vols/BENCH.7z", work + "/d/src"], check=True)
    vols = sorted(os.listdir(hand + "/vols"))
    for n, vol in enumerate(vols, 1):
        z = "%s/zips/BENCH%03d.zip" % (hand, n) if len(vols) > 99 else "%s/zips/BENCH%02d.zip" % (hand, n)
        subprocess.run(["zip", "-6", "-j", "-q", z, hand + "/vols/" + vol,
                        work + "/c/rel/file_id.diz", work + "/c/rel/bench.nfo"], check=True)
        with open(work + "/c/comment.txt", "rb") as banner:
            subprocess.run(["zip", "-z", "-q", z], stdin=banner, check=True)
        os.remove(hand + "/vols/" + vol)
    return time.monotonic() - start, len(vols)

rounds = int(os.environ.get("KELVO_BENCH_ROUNDS", "3"))
for level in levels:
    hands, kelvos, peaks, uncheckeds, recovered = [], [], [], [], []
    for r in range(rounds):
        fresh()
        sides = ["hand", "run"] + (["unchecked"] if unchecked else []) + (["par2"] if par2 else [])
        # Each side in turn goes first.
        sides = sides[r % len(sides):] + sides[:r % len(sides)]
        for side in sides:
            if side == "hand":
                hand, hand_zips = run_hand(level)
                continue
            # Each program side starts from an empty zip folder: zips of the
            # same name would be extended.
            shutil.rmtree(work + "/e/zips")
            os.makedirs(work + "/e/zips")
            subprocess.run(["sync"], check=True)
            if side == "run":
                kelvo, peak, zips = run_kelvo(level)
            elif side == "par2":
                with_par2, _, _ = run_kelvo(level, None, "par2")
                if not any(f.endswith(".par2") for f in os.listdir(work + "/e/zips")):
                    sys.exit("the run with PAR&2 made no recovery file")
            else:
                plain, _, plain_zips = run_kelvo(level, unchecked)
                if plain_zips != zips and "run" in sides[:sides.index(side)]:
                    sys.exit("different zip counts: run %d, unchecked %d" % (zips, plain_zips))
        if zips != hand_zips:
            sys.exit("different zip counts: run %d, hand %d" % (zips, hand_zips))
        hands.append(hand), kelvos.append(kelvo), peaks.append(peak)
        if unchecked:
            uncheckeds.append(plain)
        if par2:
            recovered.append(with_par2)
    ratio = statistics.median(k / h for k, h in zip(kelvos, hands))
    goal = 0.6 if level == 0 else 0.9
    print("%-8s %d zips, medians of %d rounds: hand pipeline %.2f s, run %.2f s, ratio run/hand "
          "%.3f (goal <= %.1f); peak memory %.1f MB at most (goal <= 64)"
          % (names[level], zips, rounds, statistics.median(hands), statistics.median(kelvos), ratio,
             goal, max(peaks) / 1024))
    if unchecked:
        plain_ratio = statistics.median(u / h for u, h in zip(uncheckeds, hands))
        print("%-8s without the zip check: run %.2f s, ratio run/hand %.3f (the check costs %.3f)"
              % ("", statistics.median(uncheckeds), plain_ratio, ratio - plain_ratio))
    if par2:
        cost = statistics.median(p / k for p, k in zip(recovered, kelvos))
        print("%-8s with PAR2 at 10 %%: run %.2f s, ratio run with PAR2 / run without %.3f"
              % ("", statistics.median(recovered), cost))
MEASURE
