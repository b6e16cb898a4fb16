#!/usr/bin/env bash
# Times the console sample printing every finding beside `rg -j1` printing the same lines,
# alternating, on a private session bus that starts the built sorvik.
# Usage: bench/automation/console-vs-rg.sh [build-dir] [folder] [string] [rounds]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
folder=${2:-/usr/include}
needle=${3:-e}
rounds=${4:-3}
timing=$(mktemp)
trap 'rm -f "$timing"' EXIT
seconds() { /usr/bin/time -o "$timing" -f %e "$@" >/dev/null 2>&1; cat "$timing"; }
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((i = 1; i <= rounds; i++)); do
  console=$(seconds dbus-run-session --config-file="$build/tests/test-session.conf" -- \
    "$build/samples/console/tavrin-console" "$folder" "$needle")
  rg=$(seconds rg -j1 -i -n --column "$needle" "$folder")
  echo "round $i: tavrin-console $console s, rg -j1 $rg s, ratio $(printf "%.2f" "$(echo "scale=4; $console / $rg" | bc)")"
done
