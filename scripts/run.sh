#!/usr/bin/env bash
# Installs what Tarnivo needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DTARNIVO_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"
exec build/bin/tarnivo "$@"
