#!/usr/bin/env bash
# Installs the Debian packages Tarnivo needs to build, run and test (libjpeg62-turbo-dev for the
# frame writer, which brings the library it runs on), and to make and check its Debian package (dpkg-dev and file for the dependency list, appstream, desktop-file-utils,
# groff-base and lintian to check what it installs; exfatprogs and exfat-fuse for the test that
# names results on an exFAT stick mounted through FUSE, where the machine lets it mount one).
# When another apt or dpkg holds the package database, it waits for it (up to ten minutes)
# instead of failing at once.
set -euo pipefail
packages=(cmake make g++ pkg-config qt6-base-dev libjpeg62-turbo-dev ffmpeg libavcodec-extra sox libgtest-dev xvfb xauth
  dpkg-dev file appstream desktop-file-utils groff-base lintian exfatprogs exfat-fuse time)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
wait_for_lock=(-o DPkg::Lock::Timeout=600)
"${as_root[@]}" apt-get "${wait_for_lock[@]}" update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get "${wait_for_lock[@]}" install -y -qq \
  --no-install-recommends "${missing[@]}"
