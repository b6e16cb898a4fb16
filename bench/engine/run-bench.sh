#!/usr/bin/env bash
# The engine against grep and ripgrep on three trees, side by side, warm cache: the whole scan
# through sorvik over D-Bus (best of 3 after a warm-up run), sorvik's CPU time and its resident
# memory, then request latency during a scan, the memory of 1,000,000 findings and the setup of
# a long search string.
#   bench/engine/run-bench.sh [build-dir]
# Trees (made once into $TAVRIN_BENCH_CACHE, /var/cache/tavrin-bench by default):
#   linux    the Linux 6.1 sources of Debian's linux-source-6.1 (installed with apt-get if missing)
#   folders  17,576 files of code-like words, each in a folder of its own, three levels deep;
#            "needle" on one line in one file of 50
#   usrlib   /usr/lib/x86_64-linux-gnu, as it is
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
build=$(cd "$build" && pwd)
bench=$build/bench/engine/tavrin-engine-bench
cache=${TAVRIN_BENCH_CACHE:-/var/cache/tavrin-bench}
runs=3

[ -x "$bench" ] || { echo "build tavrin-engine-bench first (cmake --build $build)"; exit 1; }
command -v rg >/dev/null || { echo "install ripgrep first"; exit 1; }
mkdir -p "$cache"

linux=$cache/linux-source-6.1
if [ ! -d "$linux" ]; then
  tarball=/usr/src/linux-source-6.1.tar.xz
  if [ ! -f "$tarball" ]; then
    sudo=$([ "$(id -u)" = 0 ] || echo sudo)
    $sudo apt-get install -y linux-source-6.1
  fi
  tar -C "$cache" -xf "$tarball"
fi

folders=$cache/one-file-folders
if [ ! -d "$folders" ]; then
  python3 - "$folders" <<'EOF'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(20261207)
words = ("int void return const static struct need needed idle handle line deleted seen "
         "buffer result error status length offset pointer string begin end update parse").split()
letters = "abcdefghijklmnopqrstuvwxyz"
n = 0
for a in letters:
    for b in letters:
        for c in letters:
            d = os.path.join(root + ".tmp", a, a + b, a + b + c)
            os.makedirs(d)
            lines = [" ".join(rnd.choice(words) for _ in range(rnd.randrange(3, 9)))
                     for _ in range(rnd.randrange(10, 60))]
            if n % 50 == 0:  # the sought word, in one file of 50
                lines.insert(rnd.randrange(len(lines)), "    return needle(%d);" % n)
            n += 1
            with open(os.path.join(d, "file.c"), "w") as f:
                f.write("\n".join(lines) + "\n")
os.rename(root + ".tmp", root)
EOF
fi
usrlib=/usr/lib/x86_64-linux-gnu

timing=$(mktemp)
trap 'rm -f "$timing"' EXIT
best() { # wall seconds of the best of $runs runs, after a warm-up run
  "$@" >/dev/null 2>&1 || true
  local b=999999 t
  for _ in $(seq "$runs"); do
    /usr/bin/time -o "$timing" -f "%e" "$@" >/dev/null 2>&1 || true
    t=$(tail -1 "$timing")
    b=$(printf "%s\n%s\n" "$b" "$t" | sort -g | head -1)
  done
  echo "$b"
}
onbus() { # a private session bus that starts the build's sorvik; the daemon's notes dropped
  dbus-run-session --config-file="$build/tests/test-session.conf" -- "$@" 2>/dev/null
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)," \
  "$(free -g | awk '/Mem:/ {print $2}') GiB; load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "seconds, wall, best of $runs; engine = Grep to ScanCompleted through sorvik over D-Bus"
printf "%-8s %-4s %8s %8s %8s %8s %8s %10s %10s %9s\n" tree mode engine sorvikCPU "grep -rF" \
  "rg -j1" rg eng/rg-j1 eng/rg findings
for tree in linux folders usrlib; do
  case $tree in
    linux) root=$linux needle=ERR_PTR ;;
    folders) root=$folders needle=needle ;;
    usrlib) root=$usrlib needle=ERR_PTR ;;
  esac
  for mode in cs ci ww; do
    case $mode in
      cs) opt=() ;;
      ci) opt=(-i) ;;
      ww) opt=(-w) ;;
    esac
    read -r we count cpu idle peak < <(onbus "$bench" busscan "$root" "$needle" "$mode" "$runs")
    wg=$(best grep -rF "${opt[@]}" -- "$needle" "$root")
    wr1=$(best rg -uuu -a -j1 -F "${opt[@]}" -- "$needle" "$root")
    wr=$(best rg -uuu -a -F "${opt[@]}" -- "$needle" "$root")
    printf "%-8s %-4s %8.3f %8.3f %8.3f %8.3f %8.3f %10.2f %10.2f %9s\n" "$tree" "$mode" "$we" \
      "$cpu" "$wg" "$wr1" "$wr" "$(echo "$we $wr1" | awk '{print $1/$2}')" \
      "$(echo "$we $wr" | awk '{print $1/$2}')" "$count"
    if [ "$tree" = linux ] && [ "$mode" = cs ]; then
      memory="sorvik resident memory, kernel scan: idle $((idle / 1024)) MB, peak $((peak / 1024)) MB, +$(((peak - idle) / 1024)) MB"
    fi
  done
done
echo "$memory"
echo
echo "search options, same measure; rg -j1 given the matching flags (regex: -e; folders left"
echo "out: -g '!dir'; binary files skipped: rg's own detection, without -a)"
printf "%-8s %-34s %8s %8s %10s %9s\n" tree case engine "rg -j1" eng/rg-j1 findings
options() { # tree, label, engine mode, needle, rg flags...
  local root=$1 label=$2 mode=$3 needle=$4
  shift 4
  read -r we count _ < <(onbus "$bench" busscan "$root" "$needle" "$mode" "$runs")
  wr1=$(best rg -uuu -j1 "$@" -- "$needle" "$root")
  printf "%-8s %-34s %8.3f %8.3f %10.2f %9s\n" "$(basename "$root" | cut -c1-8)" "$label" "$we" \
    "$wr1" "$(echo "$we $wr1" | awk '{print $1/$2}')" "$count"
}
options "$linux" "regex, a plain literal" re ERR_PTR -a
options "$linux" "regex ERR_PTR\(-E[A-Z]+\)" re 'ERR_PTR\(-E[A-Z]+\)' -a
options "$linux" "regex, ignoring case" re,ci 'err_ptr\(-e[a-z]+\)' -a -i
options "$linux" "regex \w+_lock\(&" re '\w+_lock\(&' -a
options "$linux" "regex kmalloc|kzalloc" re 'kmalloc|kzalloc' -a
options "$linux" "regex kmalloc|kzalloc, whole word" re,ww 'kmalloc|kzalloc' -a -w
options "$linux" "drivers;arch;Documentation left out" 'x=drivers;arch;Documentation' ERR_PTR -a -F \
  -g '!drivers' -g '!arch' -g '!Documentation'
options "$linux" "binary files skipped (text tree)" bin ERR_PTR -F
options "$usrlib" "binary files skipped" bin ERR_PTR -F
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "request latency during a scan (in-process, kernel sources):"
"$bench" latency "$linux" ERR_PTR
echo "memory of findings:"
"$bench" memory 1000000
echo "searcher setup:"
"$bench" setup 1000000
"$bench" setup 2000000
