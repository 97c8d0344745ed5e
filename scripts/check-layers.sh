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
  [bridges]="base server simlink/ipc_records.h config/file_access.h"
)

status=0
roots=()
for root in src server virtual bridges; do [[ -d "$root" ]] && roots+=("$root"); done
files=$(find "${roots[@]}" \( -name '*.cpp' -o -name '*.h' \) | grep -v '_test\.cpp$' | sort)
include_line='^([^:]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)"'
while IFS= read -r hit; do
  [[ "$hit" =~ $include_line ]] || continue
  file=${BASH_REMATCH[1]}
  header=${BASH_REMATCH[2]}
  # The layer of a path in the tree ("src/base/env.cpp") or of an include ("server/x.h").
  own=${file#src/}
  own=${own%%/*}
  used=${header%%/*}
  [[ -v may_use[$own] && "$used" != "$own" ]] || continue
  [[ -v may_use[$used] || "$used" == testing ]] || continue  # a system or third-party header
  allowed=0
  for entry in ${may_use[$own]}; do
    [[ "$entry" == "$used" || "$entry" == "$header" ]] && allowed=1
  done
  if [[ $allowed -eq 0 ]]; then
    echo "$file: $own may not include \"$header\"" >&2
    status=1
  fi
done < <([[ -n "$files" ]] && grep -HE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' $files)

[[ $status -eq 0 ]] && echo "layers: every include is allowed"
exit $status
