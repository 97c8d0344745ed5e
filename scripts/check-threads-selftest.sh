#!/usr/bin/env bash
# Shows that scripts/check-threads.sh catches what it is for: on a copy of the tree, a thread
# made in a program's code, or started there by Env::start_thread, must fail the check and be
# named, while the same in a test file, or in a comment, passes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir "$tree/copy"
for dir in src server virtual bridges apps benchmarks fuzz testing; do
  [[ -d "$here/../$dir" ]] && cp -r "$here/../$dir" "$tree/copy/"
done

"$here/check-threads.sh" "$tree/copy" >/dev/null

echo 'void f() { std::jthread t([] {}); }' >"$tree/copy/server/made_test.cpp"
echo '// std::thread(f).detach() would not do' >"$tree/copy/server/comment.cpp"
"$here/check-threads.sh" "$tree/copy" >/dev/null

refused() {  # FILE TEXT WORDS: the check fails on TEXT in FILE and names it
  echo "$2" >"$tree/copy/$1"
  if out=$("$here/check-threads.sh" "$tree/copy" 2>&1); then
    echo "check-threads.sh passed $2 in $1" >&2
    exit 1
  fi
  grep -q "$1:1: $3" <<<"$out" || {
    echo "check-threads.sh did not name $1: $out" >&2
    exit 1
  }
  rm "$tree/copy/$1"
}
refused server/made.cpp 'void f() { std::thread(g).detach(); }' "a thread made"
refused bridges/made.h 'std::jthread member_;' "a thread made"
refused virtual/started.cpp 'Worker w = env.start_thread([](std::stop_token) {});' \
  "Env::start_thread called"
echo "thread check refuses a thread made or started outside start_worker"
