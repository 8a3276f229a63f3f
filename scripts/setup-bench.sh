#!/usr/bin/env bash
# Installs the peer programs the benchmarks are compared against (not needed to build or test;
# CI does not run it). Safe to run again.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/apt-install.sh"
apt_install \
    hyperfine \
    imagemagick \
    libvips-dev libvips-tools libmagickwand-dev python3-pil \
    giflib-tools
