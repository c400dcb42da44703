#!/usr/bin/env bash
# Wrapping 100 volumes of 1,440,000 bytes of 7z output, each with a 2 KB DIZ
# and a 10 KB NFO, into 100 zips: the zip component (one batch per zip, and
# one add per file) against Info-ZIP "zip -6 -j" doing the same and against
# "cp" of the volumes alone. Best of three rounds each, all in this run.
# Goals: component <= 0.5 x Info-ZIP time, >= 0.5 x cp throughput.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
driver=$build/bench/zipbench
[ -x "$driver" ] || { echo "can't run '$driver': build the project first" >&2; exit 1; }
for tool in 7zz zip unzip; do
  command -v $tool >/dev/null || { echo "can't run '$tool': not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvo-bench-zip-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/vols" "$work/texts"

# 7z output of 144.5 MB of noise, cut at 1,440,000 bytes; the first 100 volumes.
head -c 144500000 /dev/urandom > "$work/source.bin"
7zz a -t7z -mx0 -v1440000b -y "$work/split/demo.7z" "$work/source.bin" >/dev/null
rm "$work/source.bin"
for i in $(seq -f %03g 1 100); do mv "$work/split/demo.7z.$i" "$work/vols/"; done
rm -rf "$work/split"
for i in $(seq 1 30); do printf '\xb0\xb1\xb2 DEMO release  %02d/99  line %02d \xb2\xb1\xb0\r\n' 1 "$i"; done |
  head -c 2048 > "$work/texts/file_id.diz"
for i in $(seq 1 200); do printf '\xdb\xdb\xb2\xb2 NFO art and notes, line %03d \xb2\xb2\xdb\xdb\r\n' "$i"; done |
  head -c 10240 > "$work/texts/demo.nfo"
diz=$work/texts/file_id.diz
nfo=$work/texts/demo.nfo
bytes=$(cat "$work"/vols/* | wc -c)

elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# Prints "<seconds to the page cache> <seconds to the disk>": each contender
# starts with nothing dirty, and the second figure includes the sync.
measure() {
  rm -rf "$work/out" && mkdir "$work/out" && sync
  local t0=$EPOCHREALTIME
  "$@" >/dev/null
  local t1=$EPOCHREALTIME
  sync
  local t2=$EPOCHREALTIME
  echo "$(elapsed "$t0" "$t1") $(elapsed "$t0" "$t2")"
}
copy_volumes() { cp "$work"/vols/* "$work/out/"; }
infozip() {
  local v
  for v in "$work"/vols/*; do zip -q -6 -j "$work/out/demo${v##*.}.zip" "$v" "$diz" "$nfo"; done
}
component() { "$driver" "$work/vols" "$work/out" "$diz" "$nfo" "$@"; }

cat "$work"/vols/* > /dev/null  # into the page cache for every contender
declare -A results
for round in 1 2 3; do
  results[cp]+="$(measure copy_volumes)"$'\n'
  results[infozip]+="$(measure infozip)"$'\n'
  results[libzip]+="$(measure component --libzip)"$'\n'
  results[steps]+="$(measure component --steps)"$'\n'
  results[batch]+="$(measure component)"$'\n'
done
best() { printf '%s' "${results[$1]}" | awk -v col="$2" 'NF { if (min == "" || $col < min) min = $col } END { print min }'; }

# The last round's zips must be sound and complete.
count=$(ls "$work/out" | wc -l)
[ "$count" = 100 ] || { echo "can't check zips: $count of 100 made" >&2; exit 1; }
unzip -tqq "$work/out/demo001.zip" && unzip -tqq "$work/out/demo100.zip"
unzip -p "$work/out/demo050.zip" demo.7z.050 | cmp - "$work/vols/demo.7z.050"

awk -v bytes="$bytes" \
  -v cp="$(best cp 1)" -v iz="$(best infozip 1)" -v lz="$(best libzip 1)" \
  -v steps="$(best steps 1)" -v batch="$(best batch 1)" \
  -v cpd="$(best cp 2)" -v izd="$(best infozip 2)" -v batchd="$(best batch 2)" 'BEGIN {
  mb = bytes / 1e6
  printf "100 volumes of 1,440,000 bytes (%.1f MB), each zipped with a 2 KB DIZ and a 10 KB NFO\n", mb
  printf "best of 3; seconds to the page cache (and with the sync to disk)\n"
  printf "  cp of the volumes              %6.3f  %7.1f MB/s  (%6.3f)\n", cp, mb / cp, cpd
  printf "  Info-ZIP zip -6 -j             %6.3f  %7.1f MB/s  (%6.3f)\n", iz, mb / iz, izd
  printf "  plain libzip, stored           %6.3f  %7.1f MB/s\n", lz, mb / lz
  printf "  component, one add per file    %6.3f  %7.1f MB/s\n", steps, mb / steps
  printf "  component, one pass per zip    %6.3f  %7.1f MB/s  (%6.3f)\n", batch, mb / batch, batchd
  printf "time vs Info-ZIP:      %.3f  (goal <= 0.5: %s)\n", batch / iz, (batch / iz <= 0.5 ? "met" : "missed")
  printf "throughput vs cp:      %.3f  (goal >= 0.5: %s)\n", cp / batch, (cp / batch >= 0.5 ? "met" : "missed")
  printf "  the same to disk:    %.3f\n", cpd / batchd
  printf "  plain libzip vs cp:  %.3f\n", cp / lz
  printf "one pass vs one add per file: %.3f of the time\n", batch / steps
}'
