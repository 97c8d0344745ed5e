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
if [ ! -e Calibrage.ini ]; then
  printf '%s\r\n' '[Essence]' 'Pos0A33S0 = 10' 'Pos25A33S0 = 60' 'Pos50A33S0 = 120' \
    'Pos75A33S0 = 180' 'Pos100A33S0 = 240' '[OAT_NL]' 'Pos-50A33S1 = 10' 'Pos-40A33S1 = 40' \
    'Pos-20A33S1 = 90' 'Pos0A33S1 = 128' 'Pos20A33S1 = 170' 'Pos40A33S1 = 215' \
    'Pos50A33S1 = 245' > Calibrage.ini
fi
exec ../apps/kavri-bench "$@"
