#!/usr/bin/env bash
# Fails on an #include or a CMake link that the layering table forbids.
# Includes: a folder's code (tests, testing/, apps/ and benchmarks/ excepted: they may use
# anything) may include its own headers and those of the folders, or the single headers, that
# its row names.
# Links: a library may link its own folder's libraries and those of the folders its row names
# (one header of a folder lets it link that folder's library); a library of a folder that may
# use anything (testing/) needs a row of its own, named for the library. A folder's test
# program (kavri_tests) may link what its folder may, the stand-ins that the `*_test.cpp` row
# names, and a testing library whose row asks for nothing more. The CMake files read are those
# of the checked folders; apps/, benchmarks/ and fuzz/ may link anything.
# The table is docs/layers.md, the one place it is kept: each row's first column names its
# folders (or a library), its last column what they may use (names in backticks; "anything":
# unchecked).
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


# The CMake calls that link: "<CMake file> <call> <target> <arguments...>", one a line, comments
# left out and a call's lines joined.
cmake_roots=("${roots[@]}")
[[ -d testing ]] && cmake_roots+=(testing)
mapfile -t cmake_files < <(find "${cmake_roots[@]}" -name CMakeLists.txt | sort)
link_calls=$(awk '
  function emit() {
    while (match(text, /(kavri_library|kavri_tests|target_link_libraries)[ \t]*\([^)]*\)/)) {
      call = substr(text, RSTART, RLENGTH)
      text = substr(text, RSTART + RLENGTH)
      gsub(/[()]/, " ", call)
      print file, call
    }
  }
  FNR == 1 { emit(); text = ""; file = FILENAME }
  { sub(/(^|[ \t])#.*$/, ""); text = text " " $0 }
  END { emit() }' "${cmake_files[@]}" </dev/null)

# A CMake file's folder, as a layer ("src/device/CMakeLists.txt" -> device).
folder_of() {
  local folder=${1#src/}
  echo "${folder%%/*}"
}

# library -> its layer: its own row if it has one, else its folder.
declare -A layer_of=()
while read -r file call target _; do
  [[ "$call" == kavri_library ]] || continue
  [[ -v may_use[$target] ]] && layer_of[$target]=$target || layer_of[$target]=$(folder_of "$file")
done <<<"$link_calls"

# Whether the row `user` lets its code link the libraries of layer `layer`.
row_allows() {
  local user=$1 layer=$2 entry
  for entry in ${may_use[$user]}; do
    [[ "${entry%%/*}" == "$layer" ]] && return 0
  done
  return 1
}

# Whether the test program of `folder` may link the libraries of `layer`: its folder's own, what
# its folder may use, the tests' stand-ins, or a testing library whose every use passes too
# (rows that name each other in a ring pass no deeper than the table's length, and fail).
tests_row='*_test.cpp'
tests_allow() {
  local folder=$1 layer=$2 depth=${3:-0} entry
  [[ "$layer" == "$folder" ]] || row_allows "$folder" "$layer" || row_allows "$tests_row" "$layer" \
    && return 0
  [[ "$layer" == kavri_* && -v may_use[$layer] && $depth -lt ${#may_use[@]} ]] || return 1
  for entry in ${may_use[$layer]}; do
    tests_allow "$folder" "${entry%%/*}" $((depth + 1)) || return 1
  done
  return 0
}

# A call's linked names: what follows LIBS (up to the next keyword), or every name after the
# target of a target_link_libraries.
linked_names() {
  local call=$1 taking=0 word
  shift
  [[ "$call" == target_link_libraries ]] && taking=1
  for word in "$@"; do
    case "$word" in
      LIBS) taking=1 ;;
      SOURCES | LABELS | PROPERTIES) taking=0 ;;
      PUBLIC | PRIVATE | INTERFACE) ;;
      *) [[ $taking -eq 1 ]] && echo "$word" ;;
    esac
  done
}

while read -r -a words; do
  [[ ${#words[@]} -ge 3 ]] || continue
  file=${words[0]} call=${words[1]} target=${words[2]}
  folder=$(folder_of "$file")
  if [[ "$call" == kavri_tests ]]; then
    user=$folder
  elif [[ -v layer_of[$target] ]]; then
    user=${layer_of[$target]}
  else
    user=$folder  # a program of the folder
  fi
  if [[ "$call" == kavri_library && -v unchecked[$user] ]]; then
    echo "$file: $target has no row of its own in docs/layers.md" >&2
    status=1
  fi
  [[ -v may_use[$user] && ! -v unchecked[$user] ]] || continue
  for linked in $(linked_names "$call" "${words[@]:3}"); do
    [[ -v layer_of[$linked] ]] || continue  # a system or third-party library
    layer=${layer_of[$linked]}
    [[ "$layer" != "$user" ]] || continue
    if [[ "$call" == kavri_tests ]]; then
      tests_allow "$user" "$layer" && continue
      echo "$file: $target, the tests of $user, may not link $linked ($layer)" >&2
    else
      row_allows "$user" "$layer" && continue
      [[ "$user" == "$target" ]] && named=$target || named="$target ($user)"
      echo "$file: $named may not link $linked ($layer)" >&2
    fi
    status=1
  done
done <<<"$link_calls"

[[ $status -eq 0 ]] && echo "layers: every include and every link is allowed"
exit $status
