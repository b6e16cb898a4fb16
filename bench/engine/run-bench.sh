#!/usr/bin/env bash
# Engine scan against grep and ripgrep on a warm cache, request latency during a scan, and the
# memory of 1,000,000 findings. Usage: bench/engine/run-bench.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
bench=$build/bench/engine/tavrin-engine-bench
corpus=/tmp/tavrin-bench/corpus
needle=QuuxFrobnicate

[ -x "$bench" ] || { echo "build tavrin-engine-bench first (cmake --build $build)"; exit 1; }
[ -d "$corpus" ] || python3 "$here/make-corpus.py" "$corpus"
echo "corpus: $(du -sb "$corpus" | cut -f1) bytes in $(find "$corpus" -type f | wc -l) files"

timing=$(mktemp)
trap 'rm -f "$timing"' EXIT
best() { # "wall cpu" seconds (cpu = user + sys) of the best of 3 runs, after a warm-up run
  "$@" >/dev/null 2>&1 || true
  local b="999999 0" t
  for _ in 1 2 3; do
    /usr/bin/time -o "$timing" -f "%e %U %S" "$@" >/dev/null 2>&1 || true
    t=$(tail -1 "$timing" | awk '{printf "%.3f %.3f", $1, $2 + $3}')
    b=$(printf "%s\n%s\n" "$b" "$t" | sort -n | head -1)
  done
  echo "$b"
}

echo "seconds as wall/cpu (cpu = user + sys); ratios of cpu time"
printf "%-4s %13s %13s %13s %13s %11s %8s %8s\n" mode engine "grep -F" "rg -j1" rg \
  hits/grep eng/grep eng/rgj1
for mode in cs ci ww; do
  case $mode in
    cs) g=(-rnF); r=(-nF --column) ;;
    ci) g=(-rniF); r=(-niF --column) ;;
    ww) g=(-rnwF); r=(-nwF --column) ;;
  esac
  hits=$("$bench" scan "$corpus" "$needle" "$mode" | cut -d' ' -f2)
  read -r we ce < <(best "$bench" scan "$corpus" "$needle" "$mode")
  read -r wg cg < <(best grep "${g[@]}" "$needle" "$corpus")
  read -r wr1 cr1 < <(best rg "${r[@]}" -j1 "$needle" "$corpus")
  read -r wr cr < <(best rg "${r[@]}" "$needle" "$corpus")
  ghits=$(grep "${g[@]}" "$needle" "$corpus" | wc -l)
  printf "%-4s %6.3f/%-6.3f %6.3f/%-6.3f %6.3f/%-6.3f %6.3f/%-6.3f %5s/%-5s %8.2f %8.2f\n" \
    "$mode" "$we" "$ce" "$wg" "$cg" "$wr1" "$cr1" "$wr" "$cr" "$hits" "$ghits" \
    "$(echo "$ce $cg" | awk '{print $1/$2}')" "$(echo "$ce $cr1" | awk '{print $1/$2}')"
done
echo "request latency during a scan:"
"$bench" latency "$corpus" "$needle"
echo "memory:"
"$bench" memory 1000000
