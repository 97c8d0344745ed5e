#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root made by debootstrap, as a new user's
# machine would take it, then removes it: the programs answer, the menu entry is valid, and the
# removal leaves no file of the package behind. Needs root, debootstrap and the Debian mirror;
# takes a few minutes, so the test command does not run it.
# Usage: scripts/try-package-in-debian12.sh build/kavri_<version>_amd64.deb [mirror]
set -euo pipefail
deb=$(realpath "$1")
mirror=${2:-http://deb.debian.org/debian}
root=$(mktemp -d)
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

echo "== debootstrap bookworm (minbase) into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 ||
  { tail -20 "$root.debootstrap.log" >&2; exit 1; }
rm -f "$root.debootstrap.log"
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"

echo "== apt-get install ./$(basename "$deb")"
in_root apt-get install -y -q "./tmp/$(basename "$deb")" | tail -3
for program in kavri kavri-bench kavri-sim kavri-gauge; do in_root "$program" --version; done
in_root kavri --help >/dev/null
desktop-file-validate "$root/usr/share/applications/kavri.desktop" && echo "menu entry: valid"
in_root dpkg -L kavri | grep -E 'bin/|rules.d/|applications/|libexec/|icons/.*scalable'

echo "== apt-get purge kavri, then its dependencies (autoremove)"
in_root apt-get purge -y -q kavri | tail -2
in_root apt-get autoremove --purge -y -q | tail -1
left=$(find "$root" -xdev -path "$root/proc" -prune -o -path "$root/var" -prune -o \
  -path "$root/tmp" -prune -o -name '*kavri*' -print)
if [[ -n $left ]]; then
  echo "left behind after the purge:" >&2
  echo "$left" >&2
  exit 1
fi
echo "removed cleanly: no file of the package is left"
