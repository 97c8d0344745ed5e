#!/usr/bin/env bash
# Installs what the arm64 build and its tests need besides scripts/install-deps.sh: the cross
# compiler, qemu-user to run the programs, and Debian's arm64 libraries installed beside the
# build machine's own (multiarch: every -dev package used is "Multi-Arch: same", so its amd64 and
# arm64 copies share one version and install together). Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! dpkg --print-foreign-architectures | grep -qx arm64; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO dpkg --add-architecture arm64
fi
# A missing arm64 package makes install-deps.sh read the package lists again, arm64's included.
./scripts/install-deps.sh g++-aarch64-linux-gnu qemu-user libfltk1.3-dev:arm64 libhidapi-dev:arm64 \
  libsodium-dev:arm64
