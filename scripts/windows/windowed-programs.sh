#!/usr/bin/env bash
# kavri.exe and kavri-bench.exe are windowed programs: double-clicked they open no console
# window (whose close would end the bench), yet "--help" and "--version" still reach whoever
# started them: here a pipe, under Wine. Whether the text reaches a real Windows console
# (shell/parent_console.h) only a Windows machine can show.
# Usage: windowed-programs.sh WINE OBJDUMP KAVRI_EXE KAVRI_BENCH_EXE
set -euo pipefail
wine=$1 objdump=$2
shift 2
for program in "$@"; do
  name=$(basename "$program" .exe)
  subsystem=$("$objdump" -p "$program" | awk '$1 == "Subsystem" { print $2 }')
  [[ $subsystem == 00000002 ]] ||
    { echo "FAILED: $name is not a windowed program (subsystem $subsystem)"; exit 1; }
  version=$("$wine" "$program" --version | tr -d '\r')
  [[ $version == "$name "* ]] || { echo "FAILED: $name --version printed \"$version\""; exit 1; }
  "$wine" "$program" --help | grep -q "^usage: $name" ||
    { echo "FAILED: $name --help printed no usage"; exit 1; }
done
echo "windowed, and --help and --version answered"
