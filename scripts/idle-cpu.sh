#!/usr/bin/env bash
# The driver's cost while nothing moves: kavri-bench --headless --no-sim on a bus of 51 modules
# (both gauges, both outputs and the analog input of each in use) against a separate kavri-sim
# that holds every value still. Once the link is up and the first pass (half a second per
# module) is over, the driver's threads are watched for SECONDS from /proc: processor time
# (schedstat, to the nanosecond), wake-ups (voluntary and involuntary context switches) and
# resident memory. With --no-analog, the same bus without analog inputs (no module has an
# analog offset, so a pass sends no analog request). With --floor, a program with the driver's
# two waits and no work at all is watched the same way: what the waits alone cost on this
# machine. With --relay, the same kavri-sim served over loopback by kavri-relay to two such
# benches (kavri-bench --link, each with its own bus of 51 modules) and the relay watched: what
# an idle relay costs with two cockpits connected.
#
#   scripts/idle-cpu.sh [--floor | --no-analog | --relay] [BUILD_DIR] [SECONDS]
#                                                                    (defaults: build, 30)
#
# Prints "name value" lines, then one line per thread: "thread TID cpu% wakeups/s".
set -euo pipefail

floor=false
analog=true
relay=false
case "${1:-}" in
  --floor) floor=true && shift ;;
  --no-analog) analog=false && shift ;;
  --relay) relay=true && shift ;;
esac
build=$(cd "${1:-build}" && pwd)
seconds=${2:-30}
# The start-up pause, the exploration, the link monitor's first turn and the first pass.
settle=${KAVRI_IDLE_SETTLE:-40}

work=$(mktemp -d)
chmod 700 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Processor nanoseconds and context switches of every thread of $1: "tid ns switches".
sample() {
  local task
  for task in /proc/"$1"/task/*; do
    local ns switches
    ns=$(cut -d' ' -f1 "$task/schedstat" 2>/dev/null) || continue
    switches=$(awk '/ctxt_switches/ {s += $2} END {print s}' "$task/status" 2>/dev/null) || continue
    echo "${task##*/} $ns $switches"
  done
}

# Watches process $1 for $seconds and prints the figures with the prefix $2.
watch_process() {
  local pid=$1 prefix=$2 before after
  before=$(sample "$pid")
  sleep "$seconds"
  after=$(sample "$pid")
  kill -0 "$pid" 2>/dev/null || { echo "idle-cpu.sh: the watched program ended" >&2; exit 1; }
  local rss
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
  awk -v s="$seconds" -v p="$prefix" -v rss="$rss" '
    NR == FNR { ns[$1] = $2; sw[$1] = $3; next }
    ($1 in ns) {
      dns = $2 - ns[$1]; dsw = $3 - sw[$1]
      total_ns += dns; total_sw += dsw
      line[++n] = sprintf("thread %s %.3f %.0f", $1, dns / s / 1e7, dsw / s)
    }
    END {
      printf "%s_cpu_percent %.3f\n", p, total_ns / s / 1e7
      printf "%s_wakeups_per_s %.0f\n", p, total_sw / s
      printf "%s_rss_kb %d\n", p, rss
      for (i = 1; i <= n; ++i) print line[i]
    }' <(echo "$before") <(echo "$after")
}

if $floor; then
  "$build/benchmarks/wait_floor" $((seconds + 5)) &
  pids+=($!)
  sleep 2
  watch_process "${pids[0]}" floor
  exit 0
fi

mkdir -m 700 "$work/run" "$work/sim" "$work/bench"
export XDG_RUNTIME_DIR="$work/run"  # a link of our own, whatever else runs on the machine
for ((i = 1; i <= 51; ++i)); do
  printf '[m%d]\naddress = %d\n' "$i" "$i"
  for gauge in 1 2; do
    printf 'gauge%d_type = 2\ngauge%d_offset = $%04X\ngauge%d_offset_length = 2\n' \
      "$gauge" "$gauge" $((0x1000 + 8 * (i - 1) + 2 * (gauge - 1))) "$gauge"
    printf 'gauge%d_course_max = 255\ngauge%d_sim_max = 16383\n' "$gauge" "$gauge"
  done
  for output in 1 2; do
    printf 'output%d_offset = $%04X\noutput%d_offset_length = 1\n' \
      "$output" $((0x1003 + 8 * (i - 1) + output)) "$output"
  done
  if $analog; then
    printf 'analog_offset = $%04X\nanalog_offset_length = 2\nanalog_value = 100\n' \
      $((0x2000 + 2 * (i - 1)))
  fi
done > "$work/bench/bus51.ini"
printf '0 $1000:2 5000\n' > "$work/sim/steady.txt"

(cd "$work/sim" && exec "$build/apps/kavri-sim" --profile steady.txt > sim.log 2>&1) &
pids+=($!)
for _ in $(seq 50); do
  grep -q serving "$work/sim/sim.log" 2>/dev/null && break
  sleep 0.1
done
if ! $relay; then
  (cd "$work/bench" && exec "$build/apps/kavri-bench" --headless --no-sim --modules bus51.ini \
    > bench.log 2>&1) &
  pids+=($!)
  sleep "$settle"
  watch_process "${pids[1]}" idle
  exit 0
fi

# A port of its own for this run: other runs may share the machine's loopback.
port=$((20000 + RANDOM % 20000))
"$build/apps/kavri-relay" --new-key "$work/relay.key" 2>"$work/key.log" ||
  { cat "$work/key.log" >&2; exit 1; }
(cd "$work/sim" && exec "$build/apps/kavri-relay" --serve "127.0.0.1:$port" \
  --key-file "$work/relay.key" > relay.log 2>&1) &
pids+=($!)
for cockpit in 1 2; do
  mkdir -m 700 "$work/cockpit$cockpit"
  cp "$work/bench/bus51.ini" "$work/cockpit$cockpit/"
  (cd "$work/cockpit$cockpit" && XDG_RUNTIME_DIR=$PWD exec "$build/apps/kavri-bench" --headless \
    --no-sim --modules bus51.ini --link "127.0.0.1:$port" --key-file "$work/relay.key" \
    > bench.log 2>&1) &
  pids+=($!)
done
sleep "$settle"
for cockpit in 1 2; do
  grep -qF 'main window shows "Connecté"' "$work/cockpit$cockpit/bench.log" || {
    echo "idle-cpu.sh: cockpit $cockpit is not connected through the relay:" >&2
    cat "$work/cockpit$cockpit/bench.log" "$work/sim/relay.log" >&2
    exit 1
  }
done
watch_process "${pids[1]}" relay
