#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test (dialog tests under Xvfb).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
build="${ALMADIA_BUILD:-$root/build}"
cd "$build"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j"$(nproc)"
