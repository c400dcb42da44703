#!/usr/bin/env bash
# Checks the Debian package as a user would get it, without installing it:
#   tests/package/check_package.sh PACKAGE.deb [KELVO_SAMPLE]
# lintian over the package (errors fail, warnings are printed), its control
# fields and layout, then the program unpacked with dpkg-deb into a
# temporary root packages the sample release unattended, with no display,
# finding its tools beside itself. As in a system-wide install the unpacked
# tree can't be written by the user who runs it (run as root, the check runs
# the program as nobody), so the program keeps its files in the user's own
# folder, and the tree must come out unchanged. KELVO_SAMPLE lays the sample
# out (default: samples/kelvo_sample in the build folder that holds the
# package).
set -euo pipefail
deb=$(realpath "${1:?usage: check_package.sh PACKAGE.deb [KELVO_SAMPLE]}")
sample_tool=$(realpath "${2:-$(dirname "$deb")/samples/kelvo_sample}")
samples=$(cd "$(dirname "$0")/../../samples" && pwd)

fail() {
  echo "check_package: $*" >&2
  exit 1
}

echo "== lintian $(basename "$deb")"
# Errors fail the check; the warnings that remain are shown with it.
lintian --fail-on error "$deb" || fail "lintian found errors"

echo "== control fields"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kelvo32 ] || fail "the package is named '$(field Package)'"
depends=$(field Depends)
echo "Depends: $depends"
# The tools the binaries run, and what dpkg-shlibdeps found they link.
for needed in 7zip fonts-pc par2 libc6 libzip4 libansilove1 libqt6widgets6; do
  [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed"
done

root=$(mktemp -d)
# The unpacked tree is made read-only below: give it back before removing it.
trap 'chmod -R u+w "$root"; rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/pkg"
pkg=$root/pkg
app=$pkg/usr/lib/kelvo32

echo "== layout"
[ "$(readlink "$pkg/usr/bin/kelvo32")" = ../lib/kelvo32/kelvo32 ] ||
  fail "usr/bin/kelvo32 is no link to ../lib/kelvo32/kelvo32"
for f in kelvo32 wrar wace pkzip size notepad winhelp webdial par2; do
  [ -x "$app/$f" ] || fail "usr/lib/kelvo32/$f is missing or not executable"
done
grep -qx 'Exec=kelvo32 %f' "$pkg/usr/share/applications/kelvo32.desktop" ||
  fail "the desktop entry does not start kelvo32 from the PATH"

# The program unpacked, run through its link as /usr/bin/kelvo32 would be:
# by a user who can't write the tree, with a home of its own (drive c: and
# the per-user folder lie under it), no display, no drive table handed down
# and nothing of the build on the PATH. What that user reads is copied into
# the temporary root, which all may enter.
chmod -R a-w "$pkg"
chmod 755 "$root"
cp -r "$samples" "$root/samples"
cp "$sample_tool" "$root/kelvo_sample"
mkdir -p "$root/home" "$root/demo"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  chown -R nobody:nogroup "$root/home" "$root/demo"
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
run_env=("${as_user[@]}" env -i "HOME=$root/home" "PATH=/usr/bin:/bin" "LANG=C.UTF-8")
installed=$(cd "$pkg" && find . -printf '%p %s %T@\n' | sort)

echo "== kelvo32 --version"
version=$("${run_env[@]}" "$pkg/usr/bin/kelvo32" --version)
echo "$version"
[ "$version" = "Kelvo32 v$(field Version)" ] ||
  fail "the program says '$version', the package is version $(field Version)"

echo "== the sample release, packaged unattended"
demo=$root/demo
# The zip comment goes where the program keeps its settings for this user.
mapfile -t paths < <("${run_env[@]}" "$root/kelvo_sample" "$root/samples" "$demo" \
  "$root/home/.local/share/kelvo32")
job=${paths[0]:-}
[ -n "$job" ] || fail "$sample_tool laid out no job"
status=0
"${run_env[@]}" "$pkg/usr/bin/kelvo32" "!$job" || status=$?
[ "$status" -eq 0 ] || fail "the sample job ended with status $status"
zips=("$demo"/zips/*.zip)
[ -e "${zips[0]}" ] || fail "the sample job made no zip"
for z in "${zips[@]}"; do
  unzip -tq "$z" >/dev/null || fail "$(basename "$z") does not test sound"
  entries=$(unzip -Z1 "$z")
  grep -qix file_id.diz <<<"$entries" || fail "$(basename "$z") holds no FILE_ID.DIZ"
  printf '  %-12s %9d bytes\n' "$(basename "$z")" "$(stat -c %s "$z")"
done
[ "$(cd "$pkg" && find . -printf '%p %s %T@\n' | sort)" = "$installed" ] ||
  fail "the run changed the unpacked tree"
echo "The package checks out: ${#zips[@]} zips made by the unpacked program."
