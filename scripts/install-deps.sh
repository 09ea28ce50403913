#!/usr/bin/env bash
# Installs the Debian packages Tarnivo needs to build, run and test, and to make and check its
# Debian package (dpkg-dev and file for the dependency list, appstream, desktop-file-utils and
# groff-base to check what it installs).
set -euo pipefail
packages=(cmake make g++ pkg-config qt6-base-dev ffmpeg libavcodec-extra sox libgtest-dev xvfb xauth
  dpkg-dev file appstream desktop-file-utils groff-base)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
