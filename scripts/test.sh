#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: the three Linux presets of
# CMakePresets.json (default, address+undefined sanitizers, thread sanitizer), each through
# CTest, after the layering and thread checks; every fuzz target for ten seconds
# (scripts/fuzz.sh); then the Windows programs, cross-built and tested under Wine
# (scripts/test-windows.sh), and the arm64 programs, cross-built and tested under qemu-user
# (scripts/test-arm64.sh). GUI tests run under Xvfb and leave their screenshots in
# build/screenshots/, build-windows/screenshots/ and build-arm64/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/check-layers.sh
./scripts/check-threads.sh
jobs=$(nproc)

for preset in default asan tsan; do
  cmake --preset "$preset" >/dev/null
  # The default build also compiles the benchmarks (outside `all`), so none is left broken.
  targets=(all)
  [ "$preset" = default ] && targets+=(benchmarks)
  cmake --build --preset "$preset" -j "$jobs" --target "${targets[@]}"
  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --preset "$preset" -j "$jobs"
done

KAVRI_FUZZ_SEED=1 ./scripts/fuzz.sh 10  # every fuzz target briefly: a broken harness or a new fault fails

./scripts/test-windows.sh
./scripts/test-arm64.sh
