#!/usr/bin/env bash
# The sample release, packaged unattended or opened in the window.
#   samples/demo.sh package PROGRAM   lays it out, packages it, lists the zips
#   samples/demo.sh window PROGRAM    lays it out and opens the window with it
# PROGRAM is the built program (build/app/kelvo32) beside its tools; the
# build directory is the one above its folder. Everything goes to
# <build>/demo: the program's folder is copied to <build>/demo/app (the
# window's to <build>/demo/window, so that a packaging run is no second copy
# of an open window), and the zip comment is set in the copy's Kelvo32.ini,
# never in the build's own.
set -euo pipefail
mode=${1:?usage: demo.sh package|window PROGRAM}
program=$(realpath "${2:?usage: demo.sh package|window PROGRAM}")
here=$(cd "$(dirname "$0")" && pwd)
build=$(dirname "$(dirname "$program")")
demo=$build/demo
name=$(basename "$program")

if [ "$mode" = window ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "The window needs a desktop: neither DISPLAY nor WAYLAND_DISPLAY is set." >&2
    echo "Run this from a desktop session, or use 'make demo' to package without one." >&2
    exit 1
  fi
fi

# The program finds its tools, help and sounds beside itself, so a copy of
# its folder is a whole application directory of its own.
folder=$demo/app
[ "$mode" = window ] && folder=$demo/window
rm -rf "$folder"
mkdir -p "$demo"
cp -a "$(dirname "$program")" "$folder"
mapfile -t paths < <("$build/samples/kelvo_sample" "$here" "$demo" "$folder")
job=${paths[0]} comment=${paths[1]}
app=$folder/$name

case $mode in
  window)
    echo "Opening $job"
    exec "$app" "$job"
    ;;
  package)
    echo "Packaging $job"
    status=0
    "$app" "!$job" || status=$?
    zips=("$demo"/zips/*.zip)
    [ -e "${zips[0]}" ] || { echo "no zip was made (status $status)" >&2; exit 1; }
    echo
    echo "Zips in $demo/zips:"
    for z in "${zips[@]}"; do printf '  %-12s %9d bytes\n' "$(basename "$z")" "$(stat -c %s "$z")"; done
    last=${zips[-1]}
    echo
    echo "FILE_ID.DIZ of $(basename "$last"):"
    unzip -p -C "$last" file_id.diz | iconv -f CP437 -t UTF-8 | tr -d '\r'
    echo
    echo "Its zip comment:"
    unzip -z "$last" | tail -n +2 | iconv -f CP437 -t UTF-8 | tr -d '\r'
    [ "$status" -eq 0 ] || { echo "the run ended with status $status" >&2; exit "$status"; }
    ;;
  *) echo "usage: demo.sh package|window PROGRAM" >&2; exit 64 ;;
esac
