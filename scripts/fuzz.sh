#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, address and undefined sanitizers) and runs every
# fuzz target, one after another, for SECONDS each (default 60), from its seeds and
# regressions; then prints one line per target: executions, executions per second, coverage
# the run found beyond its seeds, and the result. Fails when any target found a fault: its
# input is in build-fuzz/fuzz-runs/TARGET/ (crash-*, leak-*, timeout-*, oom-*), to be fixed
# and then kept in fuzz/regressions/TARGET/.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]; KAVRI_FUZZ_RUNS=N also ends each run after N
# executions; KAVRI_FUZZ_SEED=N starts every run from the same random seed, so that a short run
# (the test command's) tries the same inputs each time instead of new ones on each machine.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" --target fuzzers >/dev/null

# The file formats' targets write scratch files for every input: in memory, their fsync is free.
[ -d /dev/shm ] && export TMPDIR=/dev/shm
runs=build-fuzz/fuzz-runs
status=0
rows=()
for target in "${targets[@]}"; do
  work=$runs/$target
  rm -rf "$work"
  mkdir -p "$work/corpus"
  options=(-max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$work/" -runs="${KAVRI_FUZZ_RUNS:--1}")
  [ -n "${KAVRI_FUZZ_SEED:-}" ] && options+=(-seed="$KAVRI_FUZZ_SEED")
  [ -f "fuzz/dictionaries/$target.dict" ] && options+=(-dict="fuzz/dictionaries/$target.dict")
  inputs=("$work/corpus" "fuzz/corpus/$target")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  # New inputs go to the run's own corpus (the first folder); the checked-in ones stay as they are.
  build-fuzz/fuzz/"fuzz_$target" "${options[@]}" "${inputs[@]}" >"$work/log" 2>&1 || true
  stat() { sed -n "s/^stat::$1: *//p" "$work/log" | tail -1; }
  cov() { sed -n "s/^#[0-9]*[[:space:]]*$1[[:space:]]*cov: \([0-9]*\).*/\1/p" "$work/log" | tail -1; }
  inited=$(cov INITED)
  done_cov=$(cov DONE)
  fault=$(cd "$work" && ls -1 crash-* leak-* timeout-* oom-* slow-unit-* 2>/dev/null | head -1 || true)
  if [ -n "$fault" ]; then
    result="FAULT ${fault%%-*}: $work/$fault"
    status=1
    # What the sanitizer or the broken property said, so that a run elsewhere tells why.
    grep -m 4 -E 'what\(\)|ERROR:|SUMMARY:|runtime error' "$work/log" | sed "s|^|$target: |" >&2 || true
    head -c 320 "$work/$fault" | od -A d -c | sed "s|^|$target: |" >&2
  elif [ -z "$done_cov" ]; then
    result="FAULT: did not finish, see $work/log"
    status=1
  else
    result=ok
  fi
  new_cov=-  # a run that did not finish has no final coverage
  [ -n "$done_cov" ] && new_cov="+$((done_cov - ${inited:-0}))"
  rows+=("$(printf '%-18s %12s %10s %8s  %s' "$target" "$(stat number_of_executed_units)" \
    "$(stat average_exec_per_sec)" "$new_cov" "$result")")
  echo "${rows[-1]}" >&2
done

printf '%-18s %12s %10s %8s  %s\n' target executions "exec/s" "new cov" result
printf '%s\n' "${rows[@]}"
exit $status
