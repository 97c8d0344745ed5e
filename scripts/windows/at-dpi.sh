#!/usr/bin/env bash
# Runs a Windows program under Wine with the screen set to DPI dots per inch (144: 150 %), as a
# Windows user sets the scale of the display, and sets it back to 96 afterwards. The programs
# started meanwhile read it at their start; KAVRI_SCREEN_DPI tells them what was set.
# Usage: at-dpi.sh WINE DPI PROGRAM [ARGUMENTS...]
set -euo pipefail
wine=$1 dpi=$2
shift 2
key='HKCU\Control Panel\Desktop'
set_dpi() { "$wine" reg add "$key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
trap 'set_dpi 96' EXIT
set_dpi "$dpi"
KAVRI_SCREEN_DPI=$dpi "$wine" "$@"
