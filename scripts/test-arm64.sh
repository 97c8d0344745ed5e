#!/usr/bin/env bash
# The arm64 part of the tests: installs the cross compiler, qemu-user and Debian's arm64
# libraries (scripts/install-arm64-deps.sh), cross-builds the Linux programs and their tests
# for arm64 (the "arm64" preset, in build-arm64/) and runs them through CTest under
# qemu-aarch64, the GUI tests on a virtual X display. The package test makes the arm64 Debian
# package and checks it as the amd64 one; to keep the package:
#   cpack --config build-arm64/CPackConfig.cmake -B build-arm64/package
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-arm64-deps.sh
jobs=${KAVRI_JOBS:-$(nproc)}
cmake --preset arm64 >/dev/null
cmake --build --preset arm64 -j "$jobs"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --preset arm64 -j "$jobs"
