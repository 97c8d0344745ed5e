#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need, and the packages named
# as arguments (scripts/install-arm64-deps.sh names the arm64 build's).
# Safe to run again: apt-get skips what is already there.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev libhidapi-dev
  libsodium-dev  # the relay link's cryptography (HMAC-SHA256, random challenges and keys)
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
  jq  # scripts/bench.sh reads the benchmarks' JSON
  libxml2-utils  # xmllint: the FlightGear protocol file must parse as XML
  clang-14 libfuzzer-14-dev libclang-rt-14-dev  # the fuzz preset (scripts/fuzz.sh)
  dpkg-dev file lintian desktop-file-utils
  librsvg2-bin  # scripts/readme-pictures.sh and render-icons.sh draw SVG pictures
  # The Windows programs: cross compilers, Wine to test them (and its fonts), xdotool to answer
  # their message boxes, zip and wixl (the installer) to package them.
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xdotool zip wixl
  "$@"
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
