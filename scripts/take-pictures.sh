#!/usr/bin/env bash
# Takes the pictures of the find-in-files sample that the README shows, as a user sees them: a
# real X server (Xvfb, 1600 x 1000) with a window manager (openbox), a fresh configuration, and
# the keys a user would press. Needs xvfb, openbox, imagemagick and xdotool.
#   scripts/take-pictures.sh [OUTDIR [SUFFIX]]     (defaults: docs, after)
# writes OUTDIR/sample-first-run-SUFFIX.png   the first search of this source tree ("TODO")
#        OUTDIR/sample-menu-SUFFIX.png        the Search menu open over it
#        OUTDIR/sample-preview-SUFFIX.png     a finding opened: the preview beside the window
#        OUTDIR/sample-no-folder-SUFFIX.png   a search of a folder that does not exist
#        OUTDIR/sample-refused-SUFFIX.png     a pattern the engine refuses (regular expression)
# TAVRIN_BUILD_DIR chooses the build folder (default build); PICTURE_WAIT the seconds given to
# the first search (default 8).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$repo/docs}")
suffix=${2-after}
build=$(cd "$repo" && realpath -m "${TAVRIN_BUILD_DIR:-build}")
sample="$build/samples/find-in-files/find-in-files"
for tool in Xvfb openbox import xdotool dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "take-pictures: $tool is missing" >&2; exit 1; }
done
[ -x "$sample" ] || { echo "take-pictures: build the sample first ($sample)" >&2; exit 1; }
mkdir -p "$out"

display=:$((90 + RANDOM % 9))
scratch=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
openbox >"$scratch/openbox.log" 2>&1 &
pids+=($!)
sleep 1

# A fresh user: no settings of the sample or the control yet.
export XDG_CONFIG_HOME="$scratch/config"
(cd "$repo" && exec dbus-run-session \
    --config-file="$build/samples/find-in-files/sample-session.conf" -- "$sample") \
    >"$scratch/sample.log" 2>&1 &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --name '^Find in Files$' | head -n1)
# The screen cut to its windows.
shoot() {
    sleep "${2:-1}"
    import -window root "$scratch/shot.png"
    local picture="$out/sample-$1${suffix:+-$suffix}.png"
    convert "$scratch/shot.png" -trim +repage "$picture"
    echo "$picture"
}
keys() { xdotool key --clearmodifiers --delay 150 "$@"; }
typed() { xdotool type --delay 20 "$1"; }

xdotool windowactivate --sync "$window"
shoot first-run "${PICTURE_WAIT:-8}"

# A menu open: the status line keeps its message.
keys alt+s Down
shoot menu 1
keys Escape Escape

# A click on the second finding, then Enter.
xdotool mousemove --window "$window" 100 135 click 1
keys Return
shoot preview 2
xdotool search --onlyvisible --name '\(line [0-9]+\)$' windowclose 2>/dev/null || true
xdotool windowactivate --sync "$window"

# Options: Search For, File Types, then the Directory box; Enter presses Search.
keys ctrl+f
sleep 1
keys Tab Tab ctrl+a
typed "$repo/no-such-folder"
keys Return
shoot no-folder 2

# A regular expression the engine refuses, in this folder.
keys alt+g ctrl+f
sleep 1
keys ctrl+a
typed 'TODO(x'
keys Tab Tab ctrl+a
typed "$repo"
keys Return
shoot refused 2
keys ctrl+q
sleep 1
