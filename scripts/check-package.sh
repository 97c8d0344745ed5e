#!/usr/bin/env bash
# Checks what a build tree (its programs and manual pages built) installs: the Debian package
# that cpack makes of it (its files, every program of the build's programs.txt with its manual
# page, its dependencies (libsodium for the network link's guard among them), lintian with no finding at all about manual pages), the menu entry (desktop-file-validate), and the
# launcher that the entry starts, which must run the driver in the user's own Kavri folder.
# Usage: scripts/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "check-package: $*" >&2
  exit 1
}

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
deb=$(echo "$work"/package/kavri_*.deb)
dpkg-deb --contents "$deb" | awk '{ print substr($6, 2) }' >"$work/files"
shipped=()
while read -r program; do
  shipped+=("/usr/bin/$program" "/usr/share/man/man1/$program.1.gz")
done <"$build/programs.txt"
for path in "${shipped[@]}" /usr/lib/udev/rules.d/70-kavri.rules /usr/share/applications/kavri.desktop \
  /usr/libexec/kavri/kavri-launch /usr/share/icons/hicolor/{scalable/apps/kavri.svg,48x48/apps/kavri.png} \
  /usr/share/doc/kavri/{README.md,copyright,changelog.gz} \
  /usr/share/doc/kavri/docs/developing.md \
  /usr/share/doc/kavri/docs/images/{main_window,parameter_window,fuel_window,virtual_panel}.png; do
  grep -qx "$path" "$work/files" || fail "the package lacks $path"
done
depends=$(dpkg-deb --field "$deb" Depends)
[[ $depends == *libfltk1.3* && $depends == *libhidapi-hidraw0* && $depends == *libsodium* ]] ||
  fail "the package does not depend on FLTK, hidapi and libsodium: $depends"
lintian --fail-on error "$deb" >"$work/lintian" 2>/dev/null || {
  cat "$work/lintian" >&2
  fail "lintian found errors in the package"
}
if grep -E 'manpage|manual-page' "$work/lintian" >&2; then
  fail "lintian finds fault with the manual pages"
fi

dpkg-deb --extract "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/kavri.desktop" ||
  fail "the menu entry is not valid"
grep -qx 'Exec=/usr/libexec/kavri/kavri-launch' "$work/root/usr/share/applications/kavri.desktop" ||
  fail "the menu entry does not start the packaged launcher"

# The launcher as `cmake --install` lays it out under another prefix, its driver replaced by a
# stand-in that writes down the folder it runs in.
cmake --install "$build" --prefix "$work/prefix" >/dev/null
printf '#!/bin/sh\npwd > "%s"\n' "$work/ran_in" >"$work/prefix/bin/kavri"
launch() { # HOME, then XDG_CONFIG_HOME or "unset", then the folder the driver must run in
  rm -f "$work/ran_in"
  if [[ $2 == unset ]]; then
    env -u XDG_CONFIG_HOME HOME="$1" "$work/prefix/libexec/kavri/kavri-launch"
  else
    env HOME="$1" XDG_CONFIG_HOME="$2" "$work/prefix/libexec/kavri/kavri-launch"
  fi
  [[ -f "$work/ran_in" && $(cat "$work/ran_in") == "$3" ]] ||
    fail "launched with HOME=$1 XDG_CONFIG_HOME=$2, the driver ran in $(cat "$work/ran_in" 2>/dev/null)"
}
mkdir "$work/home"
launch "$work/home" "$work/config" "$work/config/kavri"
launch "$work/home" unset "$work/home/.config/kavri"
launch "$work/home" "relative/config" "$work/home/.config/kavri" # not absolute: ignored
launch "$work/home" "$work/config" "$work/config/kavri"          # a second start finds it
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes; menu entry and launcher checked"
