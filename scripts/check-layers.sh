#!/usr/bin/env bash
# Fails on an #include that the layering table forbids. A folder's code (tests, testing/,
# apps/ and benchmarks/ excepted: they may use anything) may include its own headers and
# those of the folders, or the single headers, that its row names.
# The table is docs/layers.md, the one place it is kept: each row's first column names its
# folders, its last column what they may use (names in backticks; "anything": unchecked).
# Usage: scripts/check-layers.sh [source root]   (default: this checkout)
set -euo pipefail
root=${1:-$(dirname "$0")/..}
cd "$root"

# folder -> what it may use (folders, or folder/header.h for one header of a folder)
declare -A may_use=()
declare -A unchecked=()
row='^\|(.*)\|(.*)\|(.*)\|[[:space:]]*$'
name='`([^`]+)`'
while IFS= read -r line; do
  [[ "$line" =~ $row ]] || continue
  folders=${BASH_REMATCH[1]}
  uses=${BASH_REMATCH[3]}
  [[ "$uses" =~ ^[[:space:]]*anything[[:space:]]*$ ]] && everything=1 || everything=0
  allowed=""
  while [[ "$uses" =~ $name ]]; do
    allowed+=" ${BASH_REMATCH[1]}"
    uses=${uses#*"${BASH_REMATCH[0]}"}
  done
  while [[ "$folders" =~ $name ]]; do
    folder=${BASH_REMATCH[1]%/}
    folder=${folder#src/}
    may_use[$folder]=$allowed
    [[ $everything -eq 1 ]] && unchecked[$folder]=1
    folders=${folders#*"${BASH_REMATCH[0]}"}
  done
done <docs/layers.md
[[ ${#may_use[@]} -gt 0 ]] || { echo "no layering table in $root/docs/layers.md" >&2; exit 1; }

status=0
roots=()
for root in src server virtual bridges relay; do [[ -d "$root" ]] && roots+=("$root"); done
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
  [[ -v may_use[$own] && ! -v unchecked[$own] && "$used" != "$own" ]] || continue
  [[ -v may_use[$used] ]] || continue  # a system or third-party header
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
