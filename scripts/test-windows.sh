#!/usr/bin/env bash
# The Windows part of the tests: cross-builds the Windows programs and their tests with
# mingw-w64 (the "windows" preset, in build-windows/) and runs them through CTest under Wine on
# a virtual X display, since window messages under Wine need one. Pictures of the windows go to
# build-windows/screenshots/. One of the tests compares a run with the Linux build's programs
# in build/: ./scripts/test.sh builds those first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${KAVRI_JOBS:-$(nproc)}
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  ./scripts/windows/under-wine.sh ctest --preset windows -j "$jobs"
