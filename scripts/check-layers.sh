#!/usr/bin/env bash
# Fails on an #include that the layering table forbids. A folder's code (tests, testing/,
# apps/ and benchmarks/ excepted: they may use anything) may include its own headers and
# those of the folders, or the single headers, that its row names.
# Usage: scripts/check-layers.sh [source root]   (default: this checkout)
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"

# folder -> what it may use (folders, or folder/header.h for one header of a folder)
declare -A may_use=(
  [base]=""
  [config]="base"
  [device]="base"
  [ui]="base"
  [simlink]="base"
  [modules]="base config device ui"
  [engine]="base config device modules simlink"
  [shell]="base config device engine modules simlink ui"
  [server]="base simlink"
  [virtual]="base config device server ui modules/module_params.h"
  [bridges]="base server simlink/ipc_records.h"
)

# The layer of a path in the tree, or of an include ("base/env.h", "server/offset_space.h").
layer_of() {
  local path=${1#src/}
  echo "${path%%/*}"
}

status=0
while IFS= read -r file; do
  own=$(layer_of "$file")
  [[ -v may_use[$own] ]] || continue
  while IFS= read -r line; do
    header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$line")
    used=$(layer_of "$header")
    [[ "$used" == "$own" || ! -v may_use[$used] && "$used" != testing ]] && continue
    allowed=0
    for entry in ${may_use[$own]}; do
      [[ "$entry" == "$used" || "$entry" == "$header" ]] && allowed=1
    done
    if [[ $allowed -eq 0 ]]; then
      echo "$file: $own may not include \"$header\"" >&2
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find src server virtual bridges -name '*.cpp' -o -name '*.h' 2>/dev/null |
         grep -v '_test\.cpp$' | sort)

[[ $status -eq 0 ]] && echo "layers: every include is allowed"
exit $status
