#!/usr/bin/env bash
# Sets everything up on a fresh machine, builds, and runs every test. Arguments are passed to
# CMake (CI adds -DLUMAVEX_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh build "$@"
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j2 --timeout 300
