#!/usr/bin/env bash
# Each Windows program's "--help", as a Windows user reads it: Windows' places
# (%LOCALAPPDATA%\Kavri, backslashes), never Linux's ($XDG_CONFIG_HOME, a path with "/"), no
# place left unnamed, and the line that tells how text reaches a console. Any line on standard
# error fails the check.
# Usage: help-texts.sh WINE PROGRAM.exe...
set -euo pipefail
wine=$1
shift
fail() {
  echo "FAILED: $*"
  exit 1
}
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
for program in "$@"; do
  name=$(basename "$program" .exe)
  help=$("$wine" "$program" --help 2>"$errors" | tr -d '\r')
  [[ ! -s $errors ]] || fail "$name --help wrote on standard error: $(cat "$errors")"
  [[ $help == "usage: $name "* ]] || fail "$name --help printed: $help"
  ! grep -Eq 'XDG|\{|[A-Za-z]/[A-Za-z]' <<<"$help" ||
    fail "$name --help names a Linux place: $(grep -E 'XDG|\{|[A-Za-z]/[A-Za-z]' <<<"$help")"
  grep -q "to a file or a pipe, as" <<<"$help" || fail "$name --help says nothing of consoles"
  case $name in
    kavri) grep -qF '%LOCALAPPDATA%\Kavri' <<<"$help" || fail "kavri --help: $help" ;;
    kavri-fgfs) grep -qF 'DIR\kavri.xml' <<<"$help" || fail "kavri-fgfs --help: $help" ;;
  esac
done
echo "every --help names Windows' places and says how text reaches a console"
