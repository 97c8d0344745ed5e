#!/usr/bin/env bash
# Fails on a thread started anywhere but the one thread start of the programs, start_worker in
# src/base/env.*, which never lets a refusal of the system end a program: no std::thread or
# std::jthread made, no std::async, pthread_create, CreateThread or _beginthread(ex) called, and
# no Env::start_thread called (it throws on a refusal) outside src/base/env.*.
# Tests (*_test.cpp), testing/ (fakes, rigs, stand-ins for other programs) and benchmarks/ may
# call Env::start_thread; tests and testing/ may also make their threads directly.
# Usage: scripts/check-threads.sh [source root]   (default: this checkout)
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"

is_path() { [[ "$1" == src/base/env.h || "$1" == src/base/env.cpp ]]; }
is_test() { [[ "$1" == *_test.cpp || "$1" == testing/* ]]; }

status=0
# Each line without its // comment, as FILE:LINE:TEXT.
code_lines() {
  local dirs=()
  for dir in src server virtual bridges apps benchmarks fuzz testing; do
    [[ -d "$dir" ]] && dirs+=("$dir")
  done
  find "${dirs[@]}" \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
    xargs -0 grep -Hn '' | sed -E 's#//.*$##'
}
# FILE:LINE: of each hit of a pattern, outside the files allowed it.
hits() {  # PATTERN ALLOWED-TEST
  code_lines | grep -P "$1" | cut -d: -f1,2 | while IFS=: read -r file line; do
    is_path "$file" || "$2" "$file" || echo "$file:$line"
  done
}
made='\bstd::j?thread\b(?!::)|\bstd::async\b|\bpthread_create\b|\bCreateThread\b|\b_beginthread(ex)?\b'
is_test_or_benchmark() { is_test "$1" || [[ "$1" == benchmarks/* ]]; }
while IFS= read -r hit; do
  echo "$hit: a thread made outside start_worker (src/base/env.h)" >&2
  status=1
done < <(hits "$made" is_test)
while IFS= read -r hit; do
  echo "$hit: Env::start_thread called; use start_worker (src/base/env.h)" >&2
  status=1
done < <(hits '\bstart_thread\s*\(' is_test_or_benchmark)

[[ $status -eq 0 ]] && echo "threads: every thread starts through start_worker"
exit $status
