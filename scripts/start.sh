#!/usr/bin/env bash
# Sets everything up on a fresh machine, builds, and starts the editor.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh build
if [ -x build/lumavex ]; then
    exec build/lumavex "$@"
fi
exec build/cli/lumavex-fx --help
