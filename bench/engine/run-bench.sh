#!/usr/bin/env bash
# Engine scan against grep and ripgrep on a warm cache, request latency during a scan, and the
# memory of 1,000,000 findings. Usage: bench/engine/run-bench.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-/work/build-engine}
bench=$build/bench/engine/tavrin-engine-bench
corpus=/tmp/tavrin-bench/corpus
needle=QuuxFrobnicate

[ -x "$bench" ] || { echo "build tavrin-engine-bench first (cmake --build $build)"; exit 1; }
[ -d "$corpus" ] || python3 "$here/make-corpus.py" "$corpus"
echo "corpus: $(du -sb "$corpus" | cut -f1) bytes in $(find "$corpus" -type f | wc -l) files"

best() { # best of 3 wall-clock seconds of a command, after one warm-up run
  "$@" >/dev/null 2>&1 || true
  local b=999999
  for _ in 1 2 3; do
    local s e
    s=$(date +%s.%N); "$@" >/dev/null 2>&1 || true; e=$(date +%s.%N)
    b=$(echo "$b $s $e" | awk '{t=$3-$2; print (t<$1)?t:$1}')
  done
  echo "$b"
}

printf "%-4s %10s %10s %10s %10s %10s %8s %8s\n" mode engine grep rg-j1 rg hits \
  eng/grep eng/rgj1
for mode in cs ci ww; do
  case $mode in
    cs) g=(-rnF); r=(-nF --column) ;;
    ci) g=(-rniF); r=(-niF --column) ;;
    ww) g=(-rnwF); r=(-nwF --column) ;;
  esac
  hits=$("$bench" scan "$corpus" "$needle" "$mode" | cut -d' ' -f2)
  te=$(best "$bench" scan "$corpus" "$needle" "$mode")
  tg=$(best grep "${g[@]}" "$needle" "$corpus")
  tr1=$(best rg "${r[@]}" -j1 "$needle" "$corpus")
  tr=$(best rg "${r[@]}" "$needle" "$corpus")
  ghits=$(grep "${g[@]}" "$needle" "$corpus" | wc -l)
  printf "%-4s %10.3f %10.3f %10.3f %10.3f %5s/%-5s %8.2f %8.2f\n" "$mode" "$te" "$tg" "$tr1" "$tr" \
    "$hits" "$ghits" "$(echo "$te $tg" | awk '{print $1/$2}')" "$(echo "$te $tr1" | awk '{print $1/$2}')"
done
echo "request latency during a scan:"
"$bench" latency "$corpus" "$needle"
echo "memory:"
"$bench" memory 1000000
