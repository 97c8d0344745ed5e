#!/usr/bin/env bash
# kavri-relay.exe under Wine in front of kavri-sim.exe's window-message server, and the Linux
# kavri-bench --headless --link reaching the simulator through it over loopback; then the same
# modules file and values on the Linux programs with no relay. Both traces must hold the same
# position reports once the exploration is over, the bench's analog value must reach
# kavri-sim.exe as a write, the relay may say nothing on its standard error but its own
# sentences (no refusal, no failure) and the bench nothing but what its main window showed.
# Usage: relay-end-to-end.sh WINE WINDOWS_APPS_DIR LINUX_APPS_DIR   (exit 77: no Linux build)
set -euo pipefail
wine=$1 windows_apps=$2 linux_apps=$3
for program in kavri-sim kavri-bench kavri-relay; do
  if [[ ! -x $linux_apps/$program ]]; then
    echo "no $linux_apps/$program to run or compare with"
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# A linear gauge on 2 bytes, a type 15 gauge with a negative value on 4 bytes, and an analog
# input that the driver writes to $0BC8.
modules=$'[relayed]\r\naddress = 12\r\ngauge1_type = 2\r\ngauge1_offset = 3008\r\n'
modules+=$'gauge1_offset_length = 2\r\ngauge1_course_min = 10\r\ngauge1_course_max = 200\r\n'
modules+=$'gauge1_sim_max = 1900\r\ngauge2_type = 15\r\ngauge2_offset = 13088\r\n'
modules+=$'gauge2_offset_length = 4\r\ngauge2_course_min = 20\r\ngauge2_course_max = 220\r\n'
modules+=$'gauge2_sim_min = -100\r\ngauge2_sim_max = 100\r\n'
modules+=$'analog_offset = 3016\r\nanalog_offset_length = 2\r\nanalog_value = 8192\r\n'
values=(--set '$0BC0:2=1234' --set '$3320:4=-40' --set '$281C:2=1')
analog_write='write $0BC8 2: 00 20'
# A port of its own for this run: other runs may share the machine's loopback.
port=$((20000 + RANDOM % 20000))

source "$(dirname "$0")/wait-for.sh"

# start_sim PLATFORM LAUNCHER SIM: the simulator of $work/PLATFORM, serving.
start_sim() {
  local dir=$work/$1
  mkdir -p -m 700 "$dir"
  printf '%s' "$modules" >"$dir/bus.ini"
  (cd "$dir" && exec "$2" "$3" --print-writes "${values[@]}" >sim-out.txt 2>sim-err.txt) &
  pids+=($!)
  wait_for "$dir/sim-err.txt" serving
}
bench_args=(--headless --no-sim --modules bus.ini --trace trace.txt)

# The relayed run: the key made on Linux (readable by its owner alone), read by the relay.
start_sim relayed "$wine" "$windows_apps/kavri-sim.exe"
"$linux_apps/kavri-relay" --new-key "$work/relayed/key" 2>"$work/key-err.txt" ||
  { cat "$work/key-err.txt"; exit 1; }
(cd "$work/relayed" &&
  exec "$wine" "$windows_apps/kavri-relay.exe" --serve "127.0.0.1:$port" --key-file key \
    >relay-out.txt 2>relay-err.txt) &
pids+=($!)
# The link monitor tries once a second: the bench connects once the relay listens.
(cd "$work/relayed" && XDG_RUNTIME_DIR=$work/relayed timeout 180 "$linux_apps/kavri-bench" \
  "${bench_args[@]}" --run-for 15 --link "127.0.0.1:$port" --key-file key 2>bench-err.txt)
for pid in "${pids[@]}"; do kill "$pid" && wait "$pid" 2>/dev/null || true; done
pids=()

export XDG_RUNTIME_DIR=$work/linux # the Linux simulator's socket stays private to this run
start_sim linux env "$linux_apps/kavri-sim"
(cd "$work/linux" && timeout 180 "$linux_apps/kavri-bench" "${bench_args[@]}" --run-for 6 \
  2>bench-err.txt)

source "$(dirname "$0")/position-reports.sh"
status=0
unexpected=$(grep -v '^kavri-relay: ' "$work/relayed/relay-err.txt" || true)
if [[ -n $unexpected ]] || grep -qiE 'refus|cannot|fail' "$work/relayed/relay-err.txt"; then
  echo "FAILED: unexpected standard error of kavri-relay.exe:"
  cat "$work/relayed/relay-err.txt"
  status=1
fi
said=$(grep -v -E '^kavri-bench: [0-9]+ ms: main window shows ' "$work/relayed/bench-err.txt" || true)
if [[ -n $said ]] || ! grep -qF 'main window shows "Connecté"' "$work/relayed/bench-err.txt"; then
  echo "FAILED: the relayed bench did not connect, or said on standard error:"
  cat "$work/relayed/bench-err.txt"
  status=1
fi
if ! grep -qF "$analog_write" "$work/relayed/sim-out.txt"; then
  echo "FAILED: the bench's analog value did not reach kavri-sim.exe through the relay"
  status=1
fi
same_positions "$work/relayed/trace.txt" "$work/linux/trace.txt" || status=1
[[ $status -eq 0 ]] && echo "through kavri-relay.exe, the same position reports as on Linux"
exit $status
