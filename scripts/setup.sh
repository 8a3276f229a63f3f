#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Lumavex needs.
# Installs only what is missing, so it needs no root on a prepared machine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/apt-install.sh"
apt_install \
    g++ cmake ninja-build pkg-config \
    libgtest-dev libgmock-dev libbenchmark-dev \
    libjpeg62-turbo-dev libpng-dev libgif-dev libwebp-dev libtiff-dev \
    qt6-base-dev libqt6opengl6-dev libgl-dev libfontconfig-dev \
    libsane-dev sane-utils libsane1 \
    xvfb xauth fonts-ipafont-gothic fonts-ipafont-mincho \
    libjpeg-turbo-progs giflib-tools webp libtiff-tools gettext \
    qt6-translations-l10n \
    clang-format appstream desktop-file-utils \
    clang libclang-rt-14-dev
