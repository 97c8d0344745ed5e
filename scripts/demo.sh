#!/usr/bin/env bash
# Installs what is needed, builds, and runs the driver on the virtual bench: the main window,
# the virtual panel of the demo modules and the built-in virtual simulator flying a demo loop.
# The driver keeps its files (Kavri.ini, Calibrage.ini) in build/demo; the first run seeds
# them so the non-linear demo gauges are calibrated and the backlight is on.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build build -j "$(nproc)" --target kavri-bench
mkdir -p build/demo
cd build/demo
if [ ! -e Kavri.ini ]; then
  printf 'backlight = 10\r\nmode_reduit = 0\r\n' > Kavri.ini
fi
# The demo's fuel and OAT module (address 33): docs/demo/fuel-oat.jcf, and its points.
[ -e Calibrage.ini ] || cp ../../docs/demo/Calibrage.ini Calibrage.ini
exec ../apps/kavri-bench "$@"
