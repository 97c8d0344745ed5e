#!/usr/bin/env bash
# Installs what is needed, builds the programs and makes the Debian package:
# build/package/kavri_<version>_<arch>.deb, to install with
#   sudo apt-get install ./build/package/kavri_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default >/dev/null
# The programs (the build's programs.txt) and their manual pages.
mapfile -t programs <build/programs.txt
cmake --build --preset default -j "$(nproc)" --target "${programs[@]}" man-pages
cpack --config build/CPackConfig.cmake -B build/package | grep 'package:'
