#!/usr/bin/env bash
# Installs what is needed, builds the programs and makes the Debian package:
# build/package/kavri_<version>_<arch>.deb, to install with
#   sudo apt-get install ./build/package/kavri_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target kavri kavri-bench kavri-sim kavri-gauge
cpack --config build/CPackConfig.cmake -B build/package | grep 'package:'
