#!/usr/bin/env bash
# Builds what a Windows user gets: the installer build-windows/kavri-<version>.msi, and
# build-windows/kavri-windows.zip for those who want none: the Windows programs (each runs
# alone: the C++ runtime is linked in; the list is the build's programs.txt), the French and
# English read-me and the license, in one folder "kavri". Needs the packages of
# scripts/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${KAVRI_JOBS:-$(nproc)}
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target kavri-msi

stage=build-windows/package
rm -rf "$stage" build-windows/kavri-windows.zip
mkdir -p "$stage/kavri"
while read -r program; do
  cp "build-windows/installed-programs/$program.exe" "$stage/kavri/"
done <build-windows/programs.txt
# The read-me as the installer has it (CR LF and a UTF-8 byte order mark, for Notepad).
cp build-windows/installed-programs/LISEZMOI-README.txt "$stage/kavri/"
# Windows' Notepad wants CR LF; the byte order mark tells it the text is UTF-8.
to_windows_text() { printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$1"; }
# The project's copyright and licence statement, as the Debian package ships it.
to_windows_text packaging/copyright >"$stage/kavri/LICENSE.txt"
(cd "$stage" && zip -q -r -X ../kavri-windows.zip kavri)
echo "build-windows/kavri-windows.zip:"
unzip -l build-windows/kavri-windows.zip
ls -l build-windows/kavri-*.msi
