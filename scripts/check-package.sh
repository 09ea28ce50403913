#!/usr/bin/env bash
# Makes the Debian package from a build folder and checks it: the files it carries, the
# dependencies it declares, its desktop entry, AppStream entry and manual pages, and lintian's
# verdict (no error, no warning). As root it
# also installs the package with apt-get, reverses a small clip with the installed
# tarnivo-reverse, starts the installed window, and removes the package again.
# Usage: scripts/check-package.sh [BUILD-FOLDER]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build}")"
scratch="$(mktemp -d)"
installed_here=no

fail() {
  echo "check-package: $*" >&2
  exit 1
}

clean_up() {
  if [ "$installed_here" = yes ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o DPkg::Lock::Timeout=600 tarnivo >/dev/null ||
      echo "check-package: could not remove the package tarnivo" >&2
  fi
  rm -rf "$scratch"
}
trap clean_up EXIT

make_package() {
  (cd "$build" && cpack -G DEB -B "$scratch/package" >/dev/null)
  local debs=("$scratch"/package/tarnivo_*.deb)
  if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "cpack made no tarnivo_*.deb"
  fi
  deb="${debs[0]}"
}

check_files() {
  local root="$scratch/root"
  dpkg-deb -x "$deb" "$root"
  local outside
  outside="$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' || true)"
  [ -z "$outside" ] || fail "files outside /usr: $outside"
  local programs=(bin/tarnivo bin/tarnivo-reverse libexec/tarnivo/tarnivo-batch
    libexec/tarnivo/tarnivo-ffmpeg libexec/tarnivo/tarnivo-sox libexec/tarnivo/tarnivo-frames)
  local files=(share/applications/com.quorlan.tarnivo.desktop share/metainfo/com.quorlan.tarnivo.metainfo.xml
    share/man/man1/tarnivo.1.gz share/man/man1/tarnivo-reverse.1.gz
    share/tarnivo/HAND-M.CUR share/tarnivo/tarnivo.png share/icons/hicolor/scalable/apps/tarnivo.svg
    share/tarnivo/screenshots/tarnivo-window.png share/doc/tarnivo/copyright
    share/doc/tarnivo/changelog.Debian.gz
    "share/tarnivo/Samples/Sample 1 - Test Pattern.avi" "share/tarnivo/Samples/Sample 2 - Colour Bars.mpg"
    "share/tarnivo/Samples/Sample 3 - Fractal Zoom.mp4")
  for size in 16 22 24 32 48 64 128 256; do
    files+=("share/icons/hicolor/${size}x${size}/apps/tarnivo.png")
  done
  for program in "${programs[@]}"; do
    [ -f "$root/usr/$program" ] || fail "no program /usr/$program"
    [ -x "$root/usr/$program" ] || fail "/usr/$program cannot be run"
  done
  for file in "${files[@]}"; do
    [ -s "$root/usr/$file" ] || fail "no file /usr/$file"
  done
  for page in "$root"/usr/share/man/man1/*.1.gz; do
    gzip -t "$page" || fail "$page is not a whole gzip file"
    grep -q '^\.TH ' <(zcat "$page") || fail "$page is not a manual page"
    if command -v groff >/dev/null; then
      local warnings
      warnings="$(zcat "$page" | groff -man -Tutf8 -ww -z 2>&1)"
      [ -z "$warnings" ] || fail "$page: $warnings"
    fi
  done
  file -b "$root/usr/share/tarnivo/screenshots/tarnivo-window.png" | grep -q '^PNG image data' ||
    fail "the screenshot is no PNG picture"
  # The tree, not the file alone: this also finds the desktop entry that the metainfo launches.
  local appstream
  appstream="$(appstreamcli validate-tree --no-net "$root" 2>&1)" || fail "AppStream: $appstream"
  desktop-file-validate "$root/usr/share/applications/com.quorlan.tarnivo.desktop"
  check_appstream_entry "$root"
}

# The AppStream entry: clean even for the pedantic validator, named after its id, launching the
# desktop entry of the same name (as AppStream asks), and telling today's
# profiles with their number as tarnivo-reverse lists them.
check_appstream_entry() {
  local root="$1" metainfo id hints count listed
  metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
  [ ${#metainfo[@]} -eq 1 ] || fail "not one AppStream entry: ${metainfo[*]}"
  hints="$(appstreamcli validate --pedantic --no-net "${metainfo[0]}" 2>&1)" || fail "AppStream: $hints"
  ! grep -qE '^[EWIP]: ' <<<"$hints" || fail "AppStream (pedantic): $hints"
  id="$(sed -n 's|^ *<id>\(.*\)</id> *$|\1|p' "${metainfo[0]}")"
  [ "$(basename "${metainfo[0]}")" = "$id.metainfo.xml" ] || fail "the AppStream entry $(basename "${metainfo[0]}") is not named after its id '$id'"
  grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "${metainfo[0]}" ||
    fail "the AppStream entry does not launch $id.desktop"
  [ -s "$root/usr/share/applications/$id.desktop" ] || fail "no desktop entry $id.desktop for the AppStream id"
  grep -q '^Exec=tarnivo %F$' "$root/usr/share/applications/$id.desktop" ||
    fail "the desktop entry does not open files given to it (Exec=tarnivo %F)"
  grep -qw 'MP4' "${metainfo[0]}" || fail "the AppStream entry does not name MP4"
  count="$(grep -oE '[0-9]+ output profiles' "${metainfo[0]}" | sort -u)"
  listed="$("$root/usr/bin/tarnivo-reverse" --list-profiles | wc -l)"
  [ "$count" = "$listed output profiles" ] ||
    fail "the AppStream entry says '${count//$'\n'/, }', tarnivo-reverse lists $listed profiles"
}

# Every name must be declared in the field; "Depends: ffmpeg (>= 5)" counts as ffmpeg.
check_declared() {
  local field="$1" value
  shift
  value="$(dpkg-deb -f "$deb" "$field")"
  for name in "$@"; do
    [[ ", $value," =~ ,\ ${name}[\ ,] ]] || fail "$field does not name $name: $value"
  done
}

# Installs the package, reverses a clip whose name has a space with the installed
# tarnivo-reverse, and starts the installed window for a moment.
check_installed() {
  if [ "$(dpkg-query -W -f='${Status}' tarnivo 2>/dev/null)" = "install ok installed" ]; then
    echo "check-package: tarnivo is installed already; leaving it alone, not installing the package"
    return
  fi
  # apt-get reads the package as its own unprivileged user.
  chmod 755 "$scratch" "$scratch/package"
  installed_here=yes
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 "$deb" >/dev/null
  # Read whole before it is searched: grep -q would stop reading at the match.
  local profiles
  profiles="$(/usr/bin/tarnivo-reverse --list-profiles)" || fail "the installed tarnivo-reverse --list-profiles failed"
  # Each line is a short id, blanks, and the name.
  grep -qE "^[a-z0-9-]+ +AVI \(MPEG4-XviD-Best Quality\)$" <<<"$profiles" || fail "the installed tarnivo-reverse lists no profiles"

  local run="$scratch/run"
  mkdir -p "$run/in" "$run/out" "$run/work" "$run/config" "$run/cache"
  chmod 700 "$run/work"
  ffmpeg -nostdin -loglevel error -f lavfi -i testsrc2=size=160x120:rate=10:duration=1 \
    -f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a pcm_s16le -shortest "$run/in/clip one.avi"
  XDG_CONFIG_HOME="$run/config" XDG_CACHE_HOME="$run/cache" TEMP="$run/work" \
    /usr/bin/tarnivo-reverse --profile "AVI (MPEG4-XviD-Best Quality)" --out "$run/out" "$run/in/clip one.avi" \
    >"$run/log" 2>&1 || fail "the installed tarnivo-reverse failed: $(cat "$run/log")"
  local made="$run/out/clip one.avi" streams duration
  [ -s "$made" ] || fail "the installed tarnivo-reverse made no 'clip one.avi': $(cat "$run/log")"
  streams="$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$made" | sort | tr '\n' ' ')"
  [ "$streams" = "audio video " ] || fail "the reversed clip has streams '$streams'"
  duration="$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$made")"
  awk -v d="$duration" 'BEGIN { exit !(d > 0.8 && d < 1.2) }' || fail "the reversed clip lasts $duration s"

  # The window runs until it is stopped; a missing library or plugin ends it at once instead.
  local status=0
  XDG_CONFIG_HOME="$run/config" XDG_CACHE_HOME="$run/cache" QT_QPA_PLATFORM=offscreen \
    timeout 3 /usr/bin/tarnivo >"$run/window.log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 124 ] ||
    fail "the installed tarnivo ended with status $status: $(cat "$run/window.log")"
  echo "check-package: $(basename "$deb") installed, reversed a clip and started its window"
}

# Debian's own judgement of the package: any error or warning fails the check. Tags accepted on
# purpose are in packaging/lintian-overrides, each with its reason.
check_lintian() {
  command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh installs it)"
  local verdict status=0
  verdict="$(lintian --fail-on error,warning "$deb")" || status=$?
  [ "$status" -eq 0 ] || fail "lintian: ${verdict:-status $status}"
  [ -z "$verdict" ] || echo "$verdict"
}

make_package
check_files
check_lintian
check_declared Depends ffmpeg sox libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo
check_declared Recommends libavcodec-extra
if [ "$(id -u)" -eq 0 ]; then
  # Runs on the same machine share one package database: one check installs at a time.
  exec 9>/var/lock/tarnivo-package-check
  flock -w 900 9 || fail "another package check holds /var/lock/tarnivo-package-check"
  check_installed
else
  echo "check-package: $(basename "$deb") checked; not root, so it was not installed"
fi
