#!/usr/bin/env bash
# Installs the Debian packages Tarnivo needs to build, run and test.
set -euo pipefail
packages=(cmake make g++ pkg-config qt6-base-dev ffmpeg libavcodec-extra sox libgtest-dev xvfb xauth)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
