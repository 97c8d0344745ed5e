#!/usr/bin/env bash
# Writes the section-1 manual page of a Kavri program from its own --help and --version, so the
# page never disagrees with the program: NAME from SUMMARY; SYNOPSIS from the "usage:" lines
# (a line that starts with the program's name again is another form); DESCRIPTION from the rest
# in order, each "  --option ARG   text" line (and the deeper-indented lines under it) as a
# tagged paragraph, other lines as text (an indented one on a line of its own). It reads better
# than help2man's page of the same text, which takes none of our "usage:" forms as a synopsis. Dated by SOURCE_DATE_EPOCH when it is set.
# Usage: man-page.sh "COMMAND" SUMMARY OUTPUT   (COMMAND: the program, maybe behind an emulator)
set -euo pipefail
command=$1 summary=$2 output=$3
version_line=$($command --version)
read -r name version <<<"$version_line"
help=$($command --help)
[[ -n $version && -n $help ]] || { echo "man-page.sh: $command answers no version or help" >&2; exit 1; }
date=$(date -u -d "@${SOURCE_DATE_EPOCH:-$(date +%s)}" '+%Y-%m-%d')

awk -v name="$name" -v version="$version" -v summary="$summary" -v date="$date" '
  # roff text: backslashes and hyphens escaped, no line read as a request.
  function roff(text) {
    gsub(/\\/, "\\e", text)
    gsub(/-/, "\\-", text)
    sub(/^[.'"'"']/, "\\\\\\&&", text)
    return text
  }
  # Options in bold, their arguments as typed.
  function term(text,   words, n, i, out) {
    n = split(text, words, / +/)
    for (i = 1; i <= n; i++) {
      out = out (i > 1 ? " " : "") (words[i] ~ /^-/ ? "\\fB" roff(words[i]) "\\fR" : roff(words[i]))
    }
    return out
  }
  BEGIN {
    upper = toupper(name)
    print ".TH \"" upper "\" \"1\" \"" date "\" \"" name " " version "\" \"User Commands\""
    print ".SH NAME"
    print roff(name) " \\- " roff(summary)
    print ".SH SYNOPSIS"
    part = "synopsis"
  }
  part == "synopsis" && sub(/^usage: +/, "") { print ".nf"; print term($0); next }
  part == "synopsis" && /^ +/ && $0 !~ /^  -/ {
    line = $0; sub(/^ +/, "", line)
    print (index(line, name " ") == 1 ? "" : "    ") term(line)
    next
  }
  part == "synopsis" { print ".fi"; print ".SH DESCRIPTION"; part = "text" }
  /^  -/ {
    line = $0; sub(/^ +/, "", line)
    split(line, halves, /  +/)
    rest = substr(line, length(halves[1]) + 1); sub(/^ +/, "", rest)
    print ".TP"; print term(halves[1]); print roff(rest)
    part = "option"; next
  }
  part == "option" && /^     +/ { line = $0; sub(/^ +/, "", line); print roff(line); next }
  {
    if (part != "text") print ".PP"
    else if (/^ /) print ".br"  # an indented line goes on its own line
    part = "text"
    line = $0; sub(/^ +/, "", line); gsub(/  +/, " ", line)
    print roff(line)
  }
' <<<"$help" >"$output"
