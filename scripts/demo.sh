#!/usr/bin/env bash
# Installs what is needed, builds, and runs the driver on the virtual bench: the main window,
# the virtual panel of the demo modules and the built-in virtual simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DKAVRI_BENCHMARKS=OFF >/dev/null
cmake --build build -j "$(nproc)" --target kavri-bench
exec ./build/apps/kavri-bench "$@"
