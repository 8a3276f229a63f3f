#!/usr/bin/env bash
# Installs the peer programs and libraries the benchmarks are compared against and configures
# build/ to time them (-DLUMAVEX_PEERS=ON). Not needed to build or test; CI does not run it.
# Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/apt-install.sh
apt_install \
    hyperfine parallel \
    imagemagick \
    libvips-dev libvips-tools libmagickwand-dev python3-pil \
    giflib-tools
./scripts/build.sh build -DLUMAVEX_PEERS=ON
