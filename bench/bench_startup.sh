#!/usr/bin/env bash
# The window's start against the least a Qt Widgets program does
# (bench/empty_window), both under one Xvfb server:
#   start:  from starting "kelvo32 <job>" (the sample job, window mode) until
#           its window "Kelvo32 - ..." is mapped, against the empty window's
#   memory: resident memory of the idle window, 2 s after it is shown
# Rounds are interleaved, their order alternating, after one warm-up round
# of each; the ratios are medians of the rounds' ratios.
#   bench/bench_startup.sh <build dir>     KELVO_BENCH_ROUNDS (default 7)
# Goals: start <= 1.5x, memory <= 1.3x. KELVO_BENCH_PROGRAM and
# KELVO_BENCH_TITLE measure another program (and its title's start).
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
rounds=${KELVO_BENCH_ROUNDS:-7}
program=${KELVO_BENCH_PROGRAM:-$build/app/kelvo32}
title=${KELVO_BENCH_TITLE:-Kelvo32 - }
here=$(cd "$(dirname "$0")" && pwd)
probe=$build/bench/kelvo_startup_probe
baseline=$build/bench/empty_window
for p in "$program" "$probe" "$baseline" "$build/samples/kelvo_sample"; do
  [ -x "$p" ] || { echo "can't run '$p': build it first" >&2; exit 1; }
done
for tool in xvfb-run python3; do
  command -v $tool >/dev/null || { echo "can't run '$tool': not installed" >&2; exit 1; }
done

work=$(mktemp -d /tmp/kelvo-bench-startup-XXXXXX)
trap 'rm -rf "$work"' EXIT
# A copy of the application folder, as the demo runs it, with the sample job.
cp -a "$(dirname "$(realpath "$program")")" "$work/app"
job=$("$build/samples/kelvo_sample" "$here/../samples" "$work/demo" "$work/app" | head -n 1)
mkdir -m 700 "$work/runtime"

unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$work/runtime
xvfb-run -a -s "-screen 0 1280x1024x24" python3 - "$probe" "$baseline" \
  "$work/app/$(basename "$program")" "$job" "$title" "$rounds" <<'MEASURE'
import re, statistics, subprocess, sys
probe, baseline, program, job, title, rounds = sys.argv[1:7]
rounds = int(rounds)

def measure(command, prefix):
    done = subprocess.run([probe, prefix] + command, capture_output=True, text=True)
    found = re.search(r"shown_ms=([\d.]+) rss_kib=(\d+)", done.stdout)
    if done.returncode != 0 or not found:
        sys.exit("can't measure %s: %s" % (command[0], done.stderr.strip()))
    return float(found.group(1)), int(found.group(2))

sides = {"empty": ([baseline, job], "empty window"), "kelvo": ([program, job], title)}
measure(*sides["empty"]), measure(*sides["kelvo"])  # warm-up: caches, fonts
results = {"empty": [], "kelvo": []}
for r in range(rounds):
    for side in (("empty", "kelvo") if r % 2 == 0 else ("kelvo", "empty")):
        results[side].append(measure(*sides[side]))

def median(side, i):
    return statistics.median(x[i] for x in results[side])

def ratio(i):
    return statistics.median(k[i] / e[i] for k, e in zip(results["kelvo"], results["empty"]))

print("start:  empty window %.0f ms, program %.0f ms (medians of %d rounds); "
      "ratio program/empty %.2f (goal <= 1.5)" % (median("empty", 0), median("kelvo", 0), rounds, ratio(0)))
print("memory: empty window %.1f MB, program %.1f MB, idle after the window is shown; "
      "ratio program/empty %.2f (goal <= 1.3)" % (median("empty", 1) / 1024, median("kelvo", 1) / 1024, ratio(1)))
MEASURE
