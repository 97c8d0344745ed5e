#!/usr/bin/env bash
# kavri-bench.exe --headless --no-sim against kavri-sim.exe --set ..., under Wine, and the same
# modules file and values on the Linux programs: both traces must hold the same position
# reports once the exploration is over (the bus carries the configuration, the simulator link
# the values; both must arrive intact on either platform). Each run starts from a Kavri.ini and
# a Calibrage.ini in the system's code page (CP1252 on Windows, UTF-8 on Linux) whose fuel
# points move a needle; at its end the settings must have been saved and the calibration file
# left as it was, and the bench must have said nothing on standard error but what its main
# window showed.
# Usage: end-to-end.sh WINE WINDOWS_APPS_DIR LINUX_APPS_DIR   (exit 77: no Linux build to compare)
set -euo pipefail
wine=$1 windows_apps=$2 linux_apps=$3
if [[ ! -x $linux_apps/kavri-sim || ! -x $linux_apps/kavri-bench ]]; then
  echo "no Linux build in $linux_apps to compare with"
  exit 77
fi

work=$(mktemp -d)
sim_pid=
cleanup() {
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A linear gauge on 2 bytes beside a type 15 gauge with a negative value on 4 bytes, and a
# 16-bit split needle (type 17).
modules=$'[vitesse]\r\naddress = 12\r\ngauge1_type = 2\r\ngauge1_offset = 3008\r\n'
modules+=$'gauge1_offset_length = 2\r\ngauge1_course_min = 10\r\ngauge1_course_max = 200\r\n'
modules+=$'gauge1_sim_max = 1900\r\ngauge2_type = 15\r\ngauge2_offset = 13088\r\n'
modules+=$'gauge2_offset_length = 4\r\ngauge2_course_min = 20\r\ngauge2_course_max = 220\r\n'
modules+=$'gauge2_sim_min = -100\r\ngauge2_sim_max = 100\r\n'
modules+=$'[cap]\r\naddress = 7\r\ngauge1_type = 17\r\ngauge1_offset = 1400\r\n'
modules+=$'gauge1_offset_length = 4\r\ngauge1_course_max = 255\r\n'
modules+=$'gauge2_type = 18\r\ngauge2_offset = 2940\r\ngauge2_offset_length = 4\r\n'
modules+=$'gauge2_course_max = 255\r\n'
values=(--set '$0BC0:2=1234' --set '$3320:4=-40' --set '$0578:4=300' --set '$0B7C:4=4194304')
# The fuel points of the cap's second gauge, under a comment with an accent in the platform's
# code page; and settings that a normal end rewrites without their comment.
calibration=$'[Essence]\r\n; r\xE9servoir gauche\r\nPos0A7S1 = 10\r\nPos25A7S1 = 40\r\n'
calibration+=$'Pos50A7S1 = 90\r\nPos75A7S1 = 150\r\nPos100A7S1 = 230\r\n'
settings=$'; r\xE9glages\r\nbacklight = 7\r\nmode_reduit = 1\r\n'
saved_settings=$'backlight = 7\r\nmode_reduit = 1\r\n'
# in_code_page PLATFORM TEXT: the text (written with CP1252 accents) in the platform's code page.
in_code_page() {
  if [[ $1 == windows ]]; then printf '%s' "$2"; else printf '%s' "$2" | iconv -f CP1252 -t UTF-8; fi
}

# Waits (bounded) until the simulator started in the background says it serves.
wait_until_serving() {
  for _ in $(seq 600); do
    grep -q serving "$1" 2>/dev/null && return 0
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "the simulator did not start:" >&2
  cat "$1" >&2
  return 1
}

# run PLATFORM SIM BENCH...: one platform's run in $work/PLATFORM.
run() {
  local dir=$work/$1 sim=$2
  shift 2
  mkdir -p "$dir"
  printf '%s' "$modules" >"$dir/bus.ini"
  in_code_page "$1" "$calibration" >"$dir/Calibrage.ini"
  in_code_page "$1" "$settings" >"$dir/Kavri.ini"
  cp "$dir/Calibrage.ini" "$dir/calibration-before.ini"
  (cd "$dir" && exec "$@" "$sim" "${values[@]}" >sim-out.txt 2>sim-err.txt) &
  sim_pid=$!
  wait_until_serving "$dir/sim-err.txt"
}

# The position reports after the exploration's end: code, address, position.
source "$(dirname "$0")/position-reports.sh"

bench_args=(--headless --no-sim --modules bus.ini --trace trace.txt --run-for 6)

# check_run PLATFORM: what the bench said and saved.
check_run() {
  local dir=$work/$1 said
  said=$(grep -v -E '^kavri-bench: [0-9]+ ms: main window shows ' "$dir/bench-err.txt" || true)
  if [[ -n $said ]]; then
    echo "FAILED: the $1 bench said on standard error:"
    echo "$said"
    exit 1
  fi
  printf '%s' "$saved_settings" >"$dir/settings-expected.ini"
  if ! cmp -s "$dir/Kavri.ini" "$dir/settings-expected.ini"; then
    echo "FAILED: the $1 bench did not save Kavri.ini; it holds:"
    od -c "$dir/Kavri.ini" | head
    exit 1
  fi
  cmp "$dir/Calibrage.ini" "$dir/calibration-before.ini" ||
    { echo "FAILED: the $1 bench changed Calibrage.ini"; exit 1; }
}

run windows "$windows_apps/kavri-sim.exe" "$wine"
(cd "$work/windows" &&
  timeout 120 "$wine" "$windows_apps/kavri-bench.exe" "${bench_args[@]}" 2>bench-err.txt)
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
check_run windows

export XDG_RUNTIME_DIR=$work/linux  # the Linux simulator's socket stays private to this run
run linux "$linux_apps/kavri-sim" env
(cd "$work/linux" && timeout 180 "$linux_apps/kavri-bench" "${bench_args[@]}" 2>bench-err.txt)
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=
check_run linux

same_positions "$work/windows/trace.txt" "$work/linux/trace.txt" || exit 1
echo "the same position reports as on Linux"
