#!/usr/bin/env bash
# kavri-bench.exe with its own virtual simulator, under Wine on the X display of the test run:
# the FSUIPC label must turn to "Connecté" on pure green, and the virtual panel's needles must
# move as the demo flight goes on, with nothing said on standard error. Pictures of the screen go
# to SCREENSHOTS.
# Usage: bench-panel.sh WINE KAVRI_BENCH_EXE SCREENSHOTS
set -euo pipefail
wine=$1 bench=$2 screenshots=$3
work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"

# Pixels of the label's green (red 0, green 255, blue 0) in a picture.
green_pixels() {
  convert "$1" -fill black +opaque 'rgb(0,255,0)' -fill white -opaque 'rgb(0,255,0)' \
    -format '%[fx:round(mean*w*h)]' info:
}

"$wine" "$bench" --run-for 40 2>said.txt &
pid=$!
first=$screenshots/win32_bench_connected.png
second=$screenshots/win32_bench_a_second_later.png
connected=0
for _ in $(seq 30); do
  sleep 1
  import -window root "$first"
  # The label is 90 x 15: most of it is green behind its text once connected.
  if (($(green_pixels "$first") > 600)); then
    connected=1
    break
  fi
done
((connected)) || { echo "FAILED: no \"Connecté\" on green within 30 s"; exit 1; }
sleep 1
import -window root "$second"
changed=$(compare -metric AE "$first" "$second" null: 2>&1 || true)
echo "connected; pixels changed in a second of flight: $changed"
((${changed%%.*} > 100)) || { echo "FAILED: the panel's needles did not move"; exit 1; }
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
[[ ! -s said.txt ]] || { echo "FAILED: said on standard error:"; cat said.txt; exit 1; }
