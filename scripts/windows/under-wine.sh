#!/usr/bin/env bash
# Runs a command (the Windows tests) with Wine ready on the current X display: a prefix of its
# own inside the build tree, made on first use (that takes a while); one Wine server kept for
# the whole run, so that each test program starts at once; and Wine drawing the windows' frames
# itself, as no window manager runs here. Usage: under-wine.sh COMMAND...
set -euo pipefail
export PATH=/usr/lib/wine:$PATH  # Debian keeps wine64 and wineserver there
export WINEPREFIX=${WINEPREFIX:-$PWD/build-windows/wine} WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
wineserver -p || true  # a server of this prefix that runs already serves as well
trap 'wineserver -k 2>/dev/null || true' EXIT
if [[ ! -d $WINEPREFIX/drive_c/windows ]]; then
  echo "making the Wine prefix $WINEPREFIX"
  # A 64-bit-only Wine reports the 32-bit half it lacks; the prefix is made all the same.
  wine64 wineboot --init >/dev/null 2>&1 || true
  [[ -d $WINEPREFIX/drive_c/windows ]] || { echo "no Wine prefix could be made"; exit 1; }
fi
wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$@"
