#!/usr/bin/env bash
# The Windows installer under Wine, as a user meets it: an older Kavri is installed, then this
# one over it (one line left in the Apps list, at the version the programs
# print, in French, with no Modify or Repair and with its folder); each program, with its icon,
# manifest and version, answers --version from Program Files\Kavri; the Start-menu entry
# "Kavri" starts kavri-launch.exe from the programs' folder, and the launcher makes
# %LOCALAPPDATA%\Kavri and runs the driver in it (the driver, finding no card, shows its
# message box); "Kavri - banc virtuel" starts the bench and "Kavri - lisez-moi" the installed
# read-me, and the menu holds no other entry (none for kavri-relay); uninstalling removes the
# programs, the entries and the Apps-list line and keeps the user's Kavri.ini and Calibrage.ini.
# Any line on standard error of a Windows program fails the check.
# Usage: installer.sh WINE WIXL WXS MSI PROGRAMS_LIST VERSION WINDOWS_VERSION
set -euo pipefail
wine=$1 wixl=$2 wxs=$3 msi=$4 programs_list=$5 version=$6 windows_version=$7
export WINEDLLOVERRIDES=winemenubuilder.exe=d  # no Linux menu entries from the shortcut
work=$(mktemp -d)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# on_windows COMMAND...: runs a Windows command under Wine; its standard output is printed,
# and any standard-error line fails the check.
on_windows() {
  "$wine" "$@" 2>"$work/stderr"
  [[ ! -s $work/stderr ]] || fail "$* wrote on standard error: $(cat "$work/stderr")"
}
windows_path() { on_windows winepath -w "$1" | tr -d '\r'; }
unix_path() { on_windows winepath -u "$1" | tr -d '\r'; }
# The Apps list's lines for Kavri, the hidden ones (SystemComponent) left out: the value of
# `name` ("DisplayVersion" unless told) in each.
uninstall_entries() {
  "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk -v name="${1:-DisplayVersion}" '
      /^HKEY/ { key = $0 }
      /DisplayName.*REG_SZ.*Kavri$/ { found[key] = 1 }
      /SystemComponent.*REG_DWORD.*0x1$/ { hidden[key] = 1 }
      $1 == name { sub(/^ *[^ ]+ +[^ ]+ +/, ""); v[key] = $0 }
      END { for (k in found) if (!(k in hidden)) print v[k] }'
}

new_guid() { cat /proc/sys/kernel/random/uuid; }
# Uninstalls as the Apps list's Uninstall does: with the command its line holds.
uninstall() {
  local command
  command=$(uninstall_entries UninstallString)
  [[ $command == 'MsiExec.exe /X{'*'}' ]] || fail "the Apps list's uninstall command is: $command"
  on_windows msiexec /x "${command#MsiExec.exe /X}" /qn
}

# A run cut short may have left this version installed, which would refuse the older one.
[[ -z $(uninstall_entries) ]] || uninstall

# An older version from the same description, then this one over it.
(cd "$(dirname "$wxs")" &&
  "$wixl" -a x64 -D Version=0.1.0 -D DisplayVersion=0.1 -D AppsListGuid="$(new_guid)" \
    -o "$work/old.msi" "$(basename "$wxs")")
on_windows msiexec /i "$(windows_path "$work/old.msi")" /qn
[[ $(uninstall_entries) == 0.1 ]] || fail "the older version is not in the Apps list"
on_windows msiexec /i "$(windows_path "$msi")" /qn
[[ $(uninstall_entries) == "$version" ]] ||
  fail "after the upgrade the Apps list holds: $(uninstall_entries | tr '\n' ' ')"
[[ $(uninstall_entries Language) == 0x40c ]] || fail "the Apps list's language is not French"
for flag in NoModify NoRepair; do
  [[ $(uninstall_entries $flag) == 0x1 ]] || fail "the Apps list offers what $flag forbids"
done
[[ $(uninstall_entries InstallLocation) == 'C:\Program Files\Kavri\' ]] ||
  fail "the Apps list's folder is: $(uninstall_entries InstallLocation)"

folder=$(unix_path 'C:\Program Files\Kavri')
mapfile -t programs <"$programs_list"
for program in "${programs[@]}" kavri-launch; do
  [[ -f $folder/$program.exe ]] || fail "no $program.exe in Program Files\\Kavri"
  # Its own resources: the icon (type 14, a group icon), the manifest, the version.
  x86_64-w64-mingw32-objdump -p "$folder/$program.exe" | grep -Eq '^[0-9a-f]+   Entry: ID: 0x00000e,' ||
    fail "$program.exe has no icon"
  grep -aq 'requestedExecutionLevel level="asInvoker"' "$folder/$program.exe" ||
    fail "$program.exe has no manifest"
  strings -e l "$folder/$program.exe" | grep -qx "$version" || fail "$program.exe has no version"
done
for program in "${programs[@]}"; do
  answer=$(on_windows "C:\\Program Files\\Kavri\\$program.exe" --version | tr -d '\r')
  [[ $answer == "$program $version" ]] || fail "installed $program.exe --version said: $answer"
done

# Windows puts a per-machine entry in the common Start menu, Wine in the user's own.
shortcut=
for menu in '%ProgramData%' '%APPDATA%'; do
  candidate=$(unix_path "$(on_windows cmd /c "echo $menu" | tr -d '\r')")
  candidate+="/Microsoft/Windows/Start Menu/Programs/Kavri.lnk"
  if [[ -f $candidate ]]; then shortcut=$candidate; fi
done
[[ -n $shortcut ]] || fail "no Start-menu entry Kavri.lnk"
# An entry's target and start folder, among the shortcut's strings (UTF-16 and 8-bit).
check_entry() { # NAME TARGET
  local file
  file="$(dirname "$shortcut")/$1.lnk"
  [[ -f $file ]] || fail "no Start-menu entry $1"
  { strings -e l "$file" && strings -a "$file"; } | tr -d '\r' >"$work/shortcut"
  grep -qix 'C:\\Program Files\\Kavri\\' "$work/shortcut" ||
    fail "the entry $1's start folder is not Program Files\\Kavri"
  grep -qiFx "C:\\Program Files\\Kavri\\$2" "$work/shortcut" || fail "the entry $1 does not start $2"
}
check_entry Kavri kavri-launch.exe
check_entry 'Kavri - banc virtuel' kavri-bench.exe
check_entry 'Kavri - lisez-moi' LISEZMOI-README.txt
# Those three alone: kavri-relay and the command-line programs are started by the user (or at
# log-on), never from the menu.
entries=$(cd "$(dirname "$shortcut")" && LC_ALL=C ls | grep '^Kavri' | tr '\n' ';')
[[ $entries == 'Kavri - banc virtuel.lnk;Kavri - lisez-moi.lnk;Kavri.lnk;' ]] ||
  fail "the Start menu's Kavri entries are: $entries"
grep -q 'kavri-relay.exe' "$folder/LISEZMOI-README.txt" || fail "the read-me does not name kavri-relay"
grep -q 'kavri-bench.exe' "$folder/LISEZMOI-README.txt" || fail "no read-me in Program Files\\Kavri"

# The launcher as the entry starts it, for a user with no Kavri folder yet.
local_folder=$(unix_path "$(on_windows cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')")
rm -rf "$local_folder/Kavri"
(cd "$folder" && on_windows 'C:\Program Files\Kavri\kavri-launch.exe')
[[ -d $local_folder/Kavri ]] || fail "the launcher made no %LOCALAPPDATA%\\Kavri"
box=
for _ in $(seq 300); do
  box=$(xdotool search --name '^Erreur$' 2>/dev/null | head -1) && [[ -n $box ]] && break
  sleep 0.2
done
[[ -n $box ]] || fail "the driver did not start (no message box)"
pid=$(xdotool getwindowpid "$box")
ran_in=$(readlink "/proc/$pid/cwd")
xdotool windowfocus --sync "$box" key Return
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
pid=
[[ $ran_in == "$(cd "$local_folder/Kavri" && pwd -P)" ]] || fail "the driver ran in $ran_in"

printf 'backlight = 7\r\n' >"$local_folder/Kavri/Kavri.ini"
printf '[Essence]\r\nPos0A33S0 = 10\r\n' >"$local_folder/Kavri/Calibrage.ini"
uninstall
[[ -z $(uninstall_entries) ]] || fail "Kavri is still in the Apps list"
# Nor hidden: the installer's own line goes with its product.
! "$wine" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
  tr -d '\r' | grep -q 'DisplayName *REG_SZ *Kavri$' || fail "a hidden Kavri line is left"
[[ ! -e $folder ]] || fail "left in Program Files\\Kavri: $(ls "$folder")"
[[ -z $(ls "$(dirname "$shortcut")" | grep '^Kavri') ]] || fail "a Start-menu entry is left"
[[ $(cat "$local_folder/Kavri/Kavri.ini") == $'backlight = 7\r' ]] || fail "Kavri.ini was not kept"
[[ -s $local_folder/Kavri/Calibrage.ini ]] || fail "Calibrage.ini was not kept"
rm -rf "$local_folder/Kavri"
echo "installed over 0.1.0, answered --version, the entry ran the driver in $ran_in, uninstalled"
