#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: a normal build, an address+undefined
# sanitizer build and a thread sanitizer build, each through CTest. GUI tests run under Xvfb
# and leave their screenshots in build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc)

run_suite() {  # name, extra cmake arguments...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && xvfb-run -a -s "-screen 0 1280x1024x24" ctest --output-on-failure -j "$jobs")
}

run_suite build
run_suite build-asan -DKAVRI_SANITIZE=address -DKAVRI_BENCHMARKS=OFF
TSAN_OPTIONS="halt_on_error=1" run_suite build-tsan -DKAVRI_SANITIZE=thread -DKAVRI_BENCHMARKS=OFF
