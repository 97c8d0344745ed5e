#!/usr/bin/env bash
# Shows that scripts/check-layers.sh catches what it is for: on a copy of the tree, an include
# the table forbids (the base layer reaching up into config) must fail the check and be named,
# while the same include in a test file and an allowed one pass.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir "$tree/copy"
for dir in src server virtual bridges docs; do
  [[ -d "$here/../$dir" ]] && cp -r "$here/../$dir" "$tree/copy/"
done

"$here/check-layers.sh" "$tree/copy" >/dev/null

echo '#include "config/prefs.h"' >"$tree/copy/src/base/reaches_up_test.cpp"
echo '#include "base/env.h"' >"$tree/copy/src/config/allowed.h"
"$here/check-layers.sh" "$tree/copy" >/dev/null

echo '#include "config/prefs.h"' >"$tree/copy/src/base/reaches_up.h"
if out=$("$here/check-layers.sh" "$tree/copy" 2>&1); then
  echo "check-layers.sh passed a forbidden include" >&2
  exit 1
fi
grep -q 'src/base/reaches_up.h: base may not include "config/prefs.h"' <<<"$out" || {
  echo "check-layers.sh did not name the forbidden include: $out" >&2
  exit 1
}
echo "layering check refuses a forbidden include"
