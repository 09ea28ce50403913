#!/usr/bin/env bash
# Installs what Tarnivo needs, builds it and runs every test: once in a normal build and once
# with AddressSanitizer and UndefinedBehaviorSanitizer; then makes the Debian package from the
# normal build and checks it (installing it when run as root). The sanitizer build leaves out the
# sweeps (label "media-sweep": one path of the program over every profile or picture kind), whose
# rows are ffmpeg's work rather than more of the program's code, and cost most of its time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
jobs="$(nproc)"

# Tests are switched on whatever an earlier configure (scripts/run.sh turns them off) left in
# the cache, and a suite that finds no test fails rather than passing empty.
run_suite() {
  local folder="$1" ctest_selection="$2"; shift 2
  cmake -S . -B "$folder" -DTARNIVO_BUILD_TESTS=ON "$@"
  cmake --build "$folder" -j"$jobs"
  # shellcheck disable=SC2086 # the selection is empty or one ctest option with its value
  ctest --test-dir "$folder" --output-on-failure --no-tests=error -j"$jobs" --timeout 600 $ctest_selection
}

# When a stage fails, the last line says which one.
stage=""
trap 'status=$?; if ((status != 0)) && [[ -n $stage ]]; then echo "scripts/test.sh: the $stage failed" >&2; fi' EXIT

stage="normal suite (build)"
run_suite build ""
stage="sanitizer suite (build-sanitize)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-sanitize "-LE sweep" -DTARNIVO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
stage="package check"
bash scripts/check-package.sh build
stage=""
