#!/usr/bin/env bash
# Installs the Debian package into a fresh Debian 12 root made by debootstrap, as a new user's
# machine would take it, then removes it: the programs answer, the menu entry is valid, and the
# removal leaves no file of the package behind. Needs root, debootstrap and the Debian mirror;
# takes a few minutes, so the test command does not run it.
# Usage: scripts/try-package-in-debian12.sh build/package/kavri_<version>_amd64.deb [mirror]
set -euo pipefail
deb=$(realpath "$1")
mirror=${2:-http://deb.debian.org/debian}
root=$(mktemp -d)
log=$(mktemp)
cleanup() {
  umount "$root/proc" 2>/dev/null || true
  rm -rf --one-file-system "$root" "$log"
}
trap cleanup EXIT
in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
apt_in_root() { in_root apt-get -o Dpkg::Use-Pty=0 -y -q "$@"; }

echo "== debootstrap bookworm (minbase) into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$log" 2>&1 || {
  tail -20 "$log" >&2
  exit 1
}
mount -t proc proc "$root/proc"
cp "$deb" "$root/tmp/"

echo "== apt-get install ./$(basename "$deb")"
apt_in_root install "./tmp/$(basename "$deb")" | tail -3
# Every program the package holds answers, and has its manual page.
for program in $(dpkg-deb --contents "$deb" | awk '$6 ~ /^\.\/usr\/bin\/./ { sub(".*/", "", $6); print $6 }'); do
  in_root "$program" --version
  [[ -f $root/usr/share/man/man1/$program.1.gz ]] || { echo "no manual page for $program" >&2; exit 1; }
done
in_root kavri --help >/dev/null
desktop-file-validate "$root/usr/share/applications/kavri.desktop"
in_root env HOME=/tmp/user /usr/libexec/kavri/kavri-launch --version
[[ -d "$root/tmp/user/.config/kavri" ]] || { echo "the launcher made no ~/.config/kavri" >&2; exit 1; }
echo "menu entry: valid; its launcher made ~/.config/kavri and ran kavri there"
in_root dpkg -L kavri | grep -E 'bin/|rules.d/|applications/|libexec/|icons/.*scalable'

echo "== apt-get purge kavri, then its dependencies (autoremove)"
apt_in_root purge kavri | tail -2
apt_in_root autoremove --purge | tail -1
left=$(find "$root" -xdev -path "$root/proc" -prune -o -path "$root/var" -prune -o \
  -path "$root/tmp" -prune -o -name '*kavri*' -print)
if [[ -n $left ]]; then
  echo "left behind after the purge:" >&2
  echo "$left" >&2
  exit 1
fi
echo "removed cleanly: no file of the package is left"
