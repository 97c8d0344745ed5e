# Sourced by the Windows end-to-end checks. wait_for FILE TEXT: waits (bounded, a minute) until
# FILE holds TEXT; fails, showing the file, when it does not.
wait_for() {
  for _ in $(seq 600); do
    grep -qF "$2" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "no \"$2\" in $1:" >&2
  cat "$1" >&2
  return 1
}
