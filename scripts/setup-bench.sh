#!/usr/bin/env bash
# Installs the peer programs the benchmarks are compared against (not needed to build or test;
# CI does not run it). Safe to run again.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
    hyperfine \
    imagemagick \
    libvips-dev libvips-tools libmagickwand-dev python3-pil \
    giflib-tools
