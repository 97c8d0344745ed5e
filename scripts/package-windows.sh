#!/usr/bin/env bash
# Builds build-windows/kavri-windows.zip: the four Windows programs (each runs alone: the C++
# runtime is linked in), the French and English read-me and the license, in one folder "kavri"
# that a Windows user unzips and runs. Needs the packages of scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${KAVRI_JOBS:-$(nproc)}
programs=(kavri kavri-bench kavri-sim kavri-gauge)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target "${programs[@]}"

stage=build-windows/package
rm -rf "$stage" build-windows/kavri-windows.zip
mkdir -p "$stage/kavri"
for program in "${programs[@]}"; do
  x86_64-w64-mingw32-strip -o "$stage/kavri/$program.exe" "build-windows/apps/$program.exe"
done
# Windows' Notepad wants CR LF; the byte order mark tells it the text is UTF-8.
to_windows_text() { printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$1"; }
to_windows_text packaging/windows/LISEZMOI.txt >"$stage/kavri/LISEZMOI-README.txt"
# The project's copyright and licence statement, as the Debian package ships it.
to_windows_text packaging/copyright >"$stage/kavri/LICENSE.txt"
(cd "$stage" && zip -q -r -X ../kavri-windows.zip kavri)
echo "build-windows/kavri-windows.zip:"
unzip -l build-windows/kavri-windows.zip
