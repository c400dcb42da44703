#!/usr/bin/env bash
# Installs the Debian packages Kelvo32 needs to build and test, only those
# that are missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev
  libzip-dev
  # The DIZ and NFO are drawn as pictures by libansilove.
  libansilove-dev
  7zip zip unzip
  clang libclang-rt-14-dev
  python3
  qt6-base-dev qt6-multimedia-dev libx11-dev
  fonts-dejavu-core fonts-pc
  # Screenshots and the start-up benchmark run in an X server of their own.
  xvfb xauth
  # The desktop files are checked by the desktop's own validators and
  # launcher (gio).
  desktop-file-utils appstream shared-mime-info libglib2.0-bin
  # make package: CPack's DEB generator reads the binaries with file and
  # dpkg-shlibdeps (dpkg-dev); lintian checks the package.
  dpkg-dev file lintian
  # The SFV of a set is checked with an SFV checker of its own.
  cksfv
  # Recovery files for a set.
  par2
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
