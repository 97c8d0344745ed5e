#!/usr/bin/env bash
# Builds the benchmarks (target `benchmarks`: they are not part of `all`) in the default preset
# (RelWithDebInfo: optimised, with debug information), runs each of them and scripts/idle-cpu.sh
# one after the other, and prints one table: each figure, its goal, what was measured and
# whether it is reached, after the machine and its load (the figures are only worth as much as
# the machine was quiet). Times are medians of repeated runs where the benchmark repeats; the
# table is Markdown. The driver at rest is judged against its own waits measured in the same
# run (wait_floor), not against a share of a core: what a sleeping thread's wake-up costs
# depends on the machine, and the waits are the driver's design.
#
#   scripts/bench.sh [BUILD_JOBS]    (default: 2)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=${1:-2}
cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target benchmarks kavri-bench kavri-sim kavri-relay \
  >/dev/null
bench=build/benchmarks
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# The JSON of one benchmark program; stderr (its context lines) is dropped.
run() { "$bench/$1" --benchmark_format=json "${@:2}" 2>/dev/null; }
# A field of the benchmark named $2 in the JSON $1.
field() { jq -r --arg name "$2" ".benchmarks[] | select(.name == \$name) | .$3" <<< "$1"; }
repeated=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)

passes=$(run transfer_pass_benchmark --benchmark_filter='/51/' "${repeated[@]}")
reload=$(run prefs_benchmark --benchmark_filter=Reload "${repeated[@]}")
exchange=$(run ipc_exchange_benchmark --benchmark_filter=Posix --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true)
relayed=$(run ipc_exchange_benchmark --benchmark_filter=Relay --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true)
latency=$(run kavri_sim_latency_benchmark)
bridges=$(run bridge_latency_benchmark)
idle=$(scripts/idle-cpu.sh build 30)
floor=$(scripts/idle-cpu.sh --floor build 30)
idle_digital=$(scripts/idle-cpu.sh --no-analog build 30)
idle_relay=$(scripts/idle-cpu.sh --relay build 30)
idle_figure() { awk -v name="$2" '$1 == name {print $2}' <<< "$1"; }
# ratio A B: A / B, or nothing when B is not above 0.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {if (b + 0 > 0) print a / b}'; }
idle_cpu=$(idle_figure "$idle" idle_cpu_percent)
digital_cpu=$(idle_figure "$idle_digital" idle_cpu_percent)
floor_cpu=$(idle_figure "$floor" floor_cpu_percent)

rows=()
# row FIGURE GOAL_TEXT MEASURED UNIT [LIMIT]: with a limit, the measure must stay under it.
row() {
  local result="-"
  if [ -n "${5:-}" ]; then
    result=$(awk -v m="$3" -v l="$5" 'BEGIN {print (m != "" && m + 0 < l + 0) ? "pass" : "FAIL"}')
  fi
  rows+=("| $1 | $2 | $(printf '%.3g' "${3:-0}") $4 | $result |")
}
exchange_name=$(jq -r '.benchmarks[] | select(.aggregate_name == "median") | .name' <<< "$exchange")
row "transfer pass, 51 modules, every value changing" "< 10 µs" \
  "$(field "$passes" BM_TransferPassAllChanging/51/manual_time_median real_time)" µs 10
row "transfer pass, 51 modules, values steady" "-" \
  "$(field "$passes" BM_TransferPassSteady/51/manual_time_median real_time)" µs
row "calibration reload, 51 modules × 2 gauges (within one 3 ms loop pass)" "< 2 ms" \
  "$(field "$reload" BM_ReloadEveryModuleAndGauge_median real_time)" ms 2
row "one POSIX exchange, median" "< 20 µs" "$(field "$exchange" "$exchange_name" median_us)" µs 20
row "one POSIX exchange, 99th percentile" "< 60 µs" \
  "$(field "$exchange" "$exchange_name" p99_us)" µs 60
relayed_name=$(jq -r '.benchmarks[] | select(.aggregate_name == "median") | .name' <<< "$relayed")
relayed_median=$(field "$relayed" "$relayed_name" median_us)
row "one exchange through kavri-relay on loopback, median" "-" "$relayed_median" µs
row "one exchange through kavri-relay on loopback, 99th percentile" "-" \
  "$(field "$relayed" "$relayed_name" p99_us)" µs
row "the relay's own cost: relayed median − POSIX median" "-" \
  "$(awk -v r="$relayed_median" -v l="$(field "$exchange" "$exchange_name" median_us)" \
    'BEGIN {print r - l}')" µs
latency_name=BM_KavriSimLatency/iterations:1
changes=$(field "$latency" "$latency_name" changes)
row "value change in kavri-sim → position report, 99th percentile of ${changes%.*} changes" \
  "< 6 ms" "$(field "$latency" "$latency_name" p99_ms)" ms 6
row "value change in kavri-sim → position report, median" "-" \
  "$(field "$latency" "$latency_name" median_ms)" ms
xplane_name=BM_XplaneAnswerToPosition/iterations:1
row "X-Plane RREF answer → kavri-xplane → position report, median of $(field "$bridges" \
  "$xplane_name" changes | cut -d. -f1) changes" "-" "$(field "$bridges" "$xplane_name" median_ms)" ms
row "X-Plane RREF answer → position report, 99th percentile" "-" \
  "$(field "$bridges" "$xplane_name" p99_ms)" ms
row "driver at rest (kavri-bench, 51 modules, 30 s), processor" "-" "$idle_cpu" "% of a core"
row "driver at rest, wake-ups" "-" "$(idle_figure "$idle" idle_wakeups_per_s)" "/ s"
row "driver at rest, resident memory" "-" \
  "$(awk '{print $1 / 1024}' <<< "$(idle_figure "$idle" idle_rss_kb)")" MB
row "driver at rest, 51 modules without analog inputs, processor" "-" "$digital_cpu" \
  "% of a core"
row "idle relay, two cockpits of 51 modules connected, processor" "-" \
  "$(idle_figure "$idle_relay" relay_cpu_percent)" "% of a core"
row "idle relay, two cockpits, wake-ups" "-" "$(idle_figure "$idle_relay" relay_wakeups_per_s)" "/ s"
row "its waits alone, no work (wait_floor: 3 ms, 5 ms, 100 ms), processor" "-" "$floor_cpu" \
  "% of a core"
row "its waits alone, wake-ups" "-" "$(idle_figure "$floor" floor_wakeups_per_s)" "/ s"
row "driver at rest ÷ its waits alone" "< 2" "$(ratio "$idle_cpu" "$floor_cpu")" × 2
row "driver at rest without analog inputs ÷ its waits alone" "< 1.5" \
  "$(ratio "$digital_cpu" "$floor_cpu")" × 1.5

echo "Machine: $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo), $(nproc) cores," \
  "Linux $(uname -r); load average $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after;" \
  "preset default (RelWithDebInfo)"
echo
echo "| figure | goal | measured | result |"
echo "|---|---|---|---|"
printf '%s\n' "${rows[@]}"
