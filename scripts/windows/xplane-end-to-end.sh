#!/usr/bin/env bash
# kavri-xplane.exe and kavri-bench.exe --headless --no-sim under Wine against the stand-in
# X-Plane (a Linux program of the tests), and the same with the Linux programs: both traces
# must hold the same position reports once the exploration is over, the bench's throttle lever
# must reach the stand-in as DREFs of its value alone (never a 0 before it), and the Windows
# bridge may say nothing on its standard error but its own sentences.
# Usage: xplane-end-to-end.sh WINE WINDOWS_APPS_DIR LINUX_BUILD_DIR   (exit 77: no Linux build)
set -euo pipefail
wine=$1 windows_apps=$2 linux_build=$3
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
stand_in=$linux_build/testing/xplane-stand-in
for program in "$stand_in" "$linux_build/apps/kavri-xplane" "$linux_build/apps/kavri-bench"; do
  if [[ ! -x $program ]]; then
    echo "no $program to compare with"
    exit 77
  fi
done

work=$(mktemp -d)
stand_in_pid=
cleanup() {
  [[ -n $stand_in_pid ]] && kill "$stand_in_pid" 2>/dev/null && wait "$stand_in_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The demo panel, its throttle lever at half, fed by one X-Plane state.
sed 's/analog_value = 13926/analog_value = 8192/' "$source_dir/bridges/demo/c172-panel.ini" \
  >"$work/bus.ini"
cp "$source_dir/bridges/demo/c172-calibration.ini" "$work/Calibrage.ini"
values=(sim/cockpit2/gauges/indicators/airspeed_kts_pilot=92.5
        sim/cockpit2/gauges/indicators/vvi_fpm_pilot=-400
        sim/cockpit2/gauges/indicators/compass_heading_deg_mag=281
        sim/flightmodel/position/elevation=610
        sim/cockpit2/temperature/outside_air_temp_degc=11.5
        'sim/cockpit2/engine/indicators/engine_speed_rpm[0]=2150'
        'sim/cockpit2/engine/indicators/MPR_in_hg[0]=21.4'
        'sim/cockpit2/engine/indicators/oil_temperature_deg_C[0]=82'
        'sim/cockpit2/engine/indicators/oil_pressure_psi[0]=57'
        'sim/cockpit2/fuel/fuel_quantity[0]=55' 'sim/cockpit2/fuel/fuel_quantity[1]=48'
        'sim/cockpit2/electrical/battery_on[0]=1')
throttle='sim/cockpit2/engine/actuators/throttle_ratio[0]'

source "$(dirname "$0")/wait-for.sh"

# run PLATFORM BRIDGE BENCH [LAUNCHER]: one platform's run in $work/PLATFORM.
run() {
  local dir=$work/$1 bridge=$2 bench=$3 launcher=${4:-env}
  mkdir -p "$dir"
  cp "$work/bus.ini" "$work/Calibrage.ini" "$dir/"
  "$stand_in" 0 "${values[@]}" >"$dir/xplane-out.txt" 2>"$dir/xplane-err.txt" &
  stand_in_pid=$!
  wait_for "$dir/xplane-err.txt" "listening on"
  local port
  port=$(sed -n 's/^listening on //p' "$dir/xplane-err.txt")
  (cd "$dir" && exec "$launcher" "$bridge" --listen 127.0.0.1:0 --xplane "127.0.0.1:$port" \
     --run-for 20 >bridge-out.txt 2>bridge-err.txt) &
  local bridge_pid=$!
  wait_for "$dir/bridge-err.txt" "answers are arriving"
  (cd "$dir" && timeout 180 "$launcher" "$bench" --headless --no-sim --modules bus.ini \
     --trace trace.txt --run-for 6)
  wait "$bridge_pid"
  kill "$stand_in_pid"
  wait "$stand_in_pid" 2>/dev/null || true
  stand_in_pid=
}

# The position reports after the exploration's end: code, address, position.
source "$(dirname "$0")/position-reports.sh"

run windows "$windows_apps/kavri-xplane.exe" "$windows_apps/kavri-bench.exe" "$wine"
export XDG_RUNTIME_DIR=$work/linux  # the Linux bridge's socket stays private to this run
run linux "$linux_build/apps/kavri-xplane" "$linux_build/apps/kavri-bench"

status=0
unexpected=$(grep -v '^kavri-xplane: ' "$work/windows/bridge-err.txt" || true)
if [[ -n $unexpected ]] || grep -q 'cannot' "$work/windows/bridge-err.txt"; then
  echo "FAILED: unexpected standard error of kavri-xplane.exe:"
  cat "$work/windows/bridge-err.txt"
  status=1
fi
# Every DREF of the throttle is the lever's 0.5, the first one included: nothing goes to the
# throttle before the lever's module has answered the driver.
throttle_drefs=$(grep -F "DREF $throttle " "$work/windows/xplane-out.txt" | sort -u || true)
if [[ $throttle_drefs != "DREF $throttle 0.5" ]]; then
  echo "FAILED: the throttle did not get the lever's 0.5 alone as DREF:"
  grep '^DREF' "$work/windows/xplane-out.txt" || true
  status=1
fi
same_positions "$work/windows/trace.txt" "$work/linux/trace.txt" || status=1
[[ $status -eq 0 ]] && echo "the same position reports as on Linux, and the throttle's DREF"
exit $status
