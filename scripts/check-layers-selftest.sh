#!/usr/bin/env bash
# Shows that scripts/check-layers.sh catches what it is for: on a copy of the tree, an include
# or a CMake link that the table forbids must fail the check and be named, while the same
# include in a test file, an allowed one and a test program's stand-in pass.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

# A fresh copy of the tree's checked folders and its table, at $tree/copy.
fresh_copy() {
  rm -rf "$tree/copy"
  mkdir "$tree/copy"
  for dir in src server virtual bridges testing docs; do
    [[ -d "$here/../$dir" ]] && cp -r "$here/../$dir" "$tree/copy/"
  done
}

fresh_copy
"$here/check-layers.sh" "$tree/copy" >/dev/null
echo '#include "config/prefs.h"' >"$tree/copy/src/base/reaches_up_test.cpp"
echo '#include "base/env.h"' >"$tree/copy/src/config/allowed.h"
echo 'kavri_tests(stand_in_tests SOURCES a_test.cpp LIBS kavri_engine kavri_virtual)' \
  >>"$tree/copy/src/engine/CMakeLists.txt"
"$here/check-layers.sh" "$tree/copy" >/dev/null

# Passes when the check, on the copy as it is now, fails and says $1; it may not run for ever.
refused() {
  local out
  if out=$(timeout 60 "$here/check-layers.sh" "$tree/copy" 2>&1); then
    echo "check-layers.sh passed what it must refuse: $1" >&2
    exit 1
  fi
  grep -qF "$1" <<<"$out" || {
    echo "check-layers.sh did not say \"$1\" but: $out" >&2
    exit 1
  }
}

# Each case: the file it adds a line to, the line, and what the check must say.
cases=(
  'src/base/reaches_up.h|#include "config/prefs.h"|src/base/reaches_up.h: base may not include "config/prefs.h"'
  'src/base/CMakeLists.txt|target_link_libraries(kavri_base PUBLIC kavri_config)|src/base/CMakeLists.txt: kavri_base (base) may not link kavri_config (config)'
  'src/device/CMakeLists.txt|kavri_library(kavri_extra SOURCES x.cpp
  LIBS kavri_base kavri_ui)|src/device/CMakeLists.txt: kavri_extra (device) may not link kavri_ui (ui)'
  'src/base/CMakeLists.txt|kavri_tests(up_tests SOURCES a_test.cpp LIBS kavri_base kavri_bridges)|src/base/CMakeLists.txt: up_tests, the tests of base, may not link kavri_bridges (bridges)'
  'testing/CMakeLists.txt|target_link_libraries(kavri_testing PUBLIC kavri_bridges)|testing/CMakeLists.txt: kavri_testing may not link kavri_bridges (bridges)'
  'src/config/CMakeLists.txt|kavri_tests(rig_tests SOURCES a_test.cpp LIBS kavri_config kavri_testing_xplane)|src/config/CMakeLists.txt: rig_tests, the tests of config, may not link kavri_testing_xplane (kavri_testing_xplane)'
  'testing/CMakeLists.txt|kavri_library(kavri_testing_unlisted SOURCES x.cpp LIBS kavri_base)|testing/CMakeLists.txt: kavri_testing_unlisted has no row of its own in docs/layers.md'
)
for case in "${cases[@]}"; do
  IFS='|' read -r -d '' file line expected <<<"$case" || true
  fresh_copy
  echo "$line" >>"$tree/copy/$file"
  refused "${expected%$'\n'}"
done

# Testing libraries whose rows name each other in a ring: refused, not followed for ever.
fresh_copy
echo '| `kavri_testing` | ring | `kavri_testing_network` |' >>"$tree/copy/docs/layers.md"
echo 'kavri_tests(ring_tests SOURCES a_test.cpp LIBS kavri_base kavri_testing_network)' \
  >>"$tree/copy/src/base/CMakeLists.txt"
refused 'ring_tests, the tests of base, may not link kavri_testing_network'
echo "layering check refuses a forbidden include and a forbidden link"
