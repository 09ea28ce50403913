#!/usr/bin/env bash
# Installs what Tarnivo needs, builds the window (with the helper programs, the artwork and the
# sample clips it uses) and tarnivo-reverse (small, and README's next section uses it; not the
# tests, the manual pages or the screenshot), and starts the window.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DTARNIVO_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)" --target tarnivo tarnivo-reverse
exec build/bin/tarnivo "$@"
