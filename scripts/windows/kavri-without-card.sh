#!/usr/bin/env bash
# kavri.exe on a machine with no card: only the message box "Je ne trouve pas la carte Kavri"
# shows; once it is dismissed the program ends with 0 and leaves Kavri.ini as it was, byte for
# byte, having said nothing on standard error. Runs under Wine on the X display of the test run;
# pictures the box in SCREENSHOTS.
# Usage: kavri-without-card.sh WINE KAVRI_EXE SCREENSHOTS
set -euo pipefail
wine=$1 kavri=$2 screenshots=$3
work=$(mktemp -d)
said=$(mktemp)
pid=
cleanup() {
  [[ -n $pid ]] && kill "$pid" 2>/dev/null
  rm -rf "$work" "$said"
}
trap cleanup EXIT
cd "$work"
printf 'backlight = 7\r\nmode_reduit = 1\r\n' >Kavri.ini
cp Kavri.ini expected.ini

"$wine" "$kavri" 2>"$said" &
pid=$!
box=
for _ in $(seq 300); do
  box=$(xdotool search --name '^Erreur$' 2>/dev/null | head -1) && [[ -n $box ]] && break
  sleep 0.2
done
[[ -n $box ]] || { echo "FAILED: no message box titled Erreur"; exit 1; }
sleep 1  # let it paint
import -window root "$screenshots/win32_kavri_without_card.png"
# The box and the desktop's own windows are all there is: no other window of the program.
shown=$(xdotool search --onlyvisible --name '.' getwindowname %@ 2>/dev/null | sort -u | tr '\n' '|')
echo "windows on show: $shown"
if grep -q 'Kavri' <<<"$shown"; then
  echo "FAILED: a window of the driver showed besides the message box"
  exit 1
fi
xdotool windowfocus --sync "$box" key Return
status=0
wait "$pid" || status=$?
pid=
[[ $status -eq 0 ]] || { echo "FAILED: exit code $status"; exit 1; }
cmp Kavri.ini expected.ini || { echo "FAILED: Kavri.ini changed"; exit 1; }
[[ ! -s $said ]] || { echo "FAILED: said on standard error:"; cat "$said"; exit 1; }
[[ $(ls | sort | tr '\n' ' ') == "Kavri.ini expected.ini " ]] || { echo "FAILED: files left:"; ls; exit 1; }
echo "message box only, exit code 0, Kavri.ini unchanged"
