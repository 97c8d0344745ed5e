# Sourced by the Windows end-to-end checks: the position reports of a bench trace, and their
# comparison between the Windows run and the Linux run of the same bus.

# The position reports (code, address, position) sent after the exploration of trace $1.
positions() {
  awk '$2 == "<" && $4 == "FE" { explored = 1 }
       explored && $2 == ">" && ($4 == "03" || $4 == "04") { print $4, $5, $6 }' "$1"
}

# Prints the Windows trace's reports; fails, saying so, unless the Linux trace holds the same.
same_positions() {
  local windows linux
  windows=$(positions "$1")
  linux=$(positions "$2")
  echo "position reports (code, address, position), Windows:"
  echo "$windows"
  if [[ -z $linux || $windows != "$linux" ]]; then
    echo "Linux:"
    echo "$linux"
    echo "FAILED: the Windows trace does not hold the Linux run's position reports"
    return 1
  fi
}
