#!/usr/bin/env bash
# Flies FlightGear with the Kavri driver: installs FlightGear if it is missing, installs the
# bridge's protocol file where FlightGear finds it, then starts FlightGear (a Cessna 172P on a
# 6 nm final to San Francisco 28R at 2,000 ft, unless FlightGear options follow "--"), the
# bridge kavri-fgfs, and the driver: kavri-bench on the demo C172 panel, or with --card the
# real driver kavri on the card plugged in. Closing the driver's window ends everything.
#
# usage: scripts/fly-flightgear.sh [--card] [-- FLIGHTGEAR_OPTIONS...]
#   --card  the real driver and card instead of the virtual bench
# FG_ROOT (default /usr/share/games/flightgear) and FG_HOME are FlightGear's own variables.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

driver=kavri-bench
flight=(--aircraft=c172p --airport=KSFO --runway=28R --offset-distance=6 --in-air
        --altitude=2000 --vc=90 --nav1=298:111.70 --timeofday=noon --season=summer)
while [ $# -gt 0 ]; do
  case "$1" in
    --card) driver=kavri ;;
    --) shift; flight=("$@"); break ;;
    *) sed -n '8,10p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
  esac
  shift
done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
./scripts/install-deps.sh
if ! command -v fgfs >/dev/null && [ ! -x /usr/games/fgfs ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq flightgear dbus
fi
fgfs=$(command -v fgfs || echo /usr/games/fgfs)

cmake --preset default >/dev/null
cmake --build build -j "$(nproc)" --target kavri-fgfs "$driver"

# The protocol file, generated from the bridge's map, in the only folder FlightGear reads it
# from.
fg_root=${FG_ROOT:-/usr/share/games/flightgear}
protocol=$(mktemp -d)
build/apps/kavri-fgfs --write-protocol "$protocol" >/dev/null
if ! cmp -s "$protocol/kavri.xml" "$fg_root/Protocol/kavri.xml"; then
  install_cmd=(install -m 644 "$protocol/kavri.xml" "$fg_root/Protocol/kavri.xml")
  if [ -w "$fg_root/Protocol" ]; then "${install_cmd[@]}"; else $SUDO "${install_cmd[@]}"; fi
fi
rm -r "$protocol"

# The driver keeps its files in build/fgfs-demo; the first run seeds them: the panel, its fuel
# calibration, the backlight level.
mkdir -p build/fgfs-demo
cd build/fgfs-demo
[ -e c172-panel.ini ] || cp "$root/bridges/demo/c172-panel.ini" .
[ -e Calibrage.ini ] || cp "$root/bridges/demo/c172-calibration.ini" Calibrage.ini
[ -e Kavri.ini ] || printf 'backlight = 10\r\nmode_reduit = 0\r\n' > Kavri.ini

# Each program started here runs in a process group of its own, ended whole on the way out
# (FlightGear's group holds its session bus too).
groups=()
cleanup() { for group in "${groups[@]}"; do kill -- "-$group" 2>/dev/null || true; done; }
trap cleanup EXIT

fg_options=(--geometry=640x480 --disable-fullscreen --disable-splash-screen --disable-sound
            --disable-ai-traffic --disable-real-weather-fetch --disable-terrasync
            --disable-fgcom --disable-clouds --disable-clouds3d --fog-fastest
            --disable-random-objects --disable-random-vegetation --disable-random-buildings
            --max-fps=20 --prop:/sim/rendering/shaders/skydome=false
            --disable-save-on-exit
            --generic=socket,out,10,127.0.0.1,5510,udp,kavri
            --generic=socket,in,10,127.0.0.1,5511,udp,kavri)
# FlightGear aborts without a session bus; give it one of its own when there is none.
session=()
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
  session=(dbus-run-session --)
fi
setsid "${session[@]}" "$fgfs" "${flight[@]}" "${fg_options[@]}" > fgfs.log 2>&1 &
groups+=($!)
setsid ../apps/kavri-fgfs > kavri-fgfs.log 2>&1 &
groups+=($!)
echo "FlightGear starts (about a minute; its log: build/fgfs-demo/fgfs.log); the driver shows"
echo "\"Connecté\" once its frames arrive."
if [ "$driver" = kavri ]; then
  ../apps/kavri
else
  ../apps/kavri-bench --no-sim --modules c172-panel.ini
fi
