#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds the find-in-files sample with sorvik and runs it.
# With a display it opens the window. Without one it searches the project's own sources once,
# prints what it found and where it saved a picture of the window:
#   scripts/run-sample.sh [FOLDER [TEXT [FILTER]]]    (headless defaults: engine Grep *.cpp;*.h)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$repo" && realpath -m "${TAVRIN_BUILD_DIR:-build}")
sample="$build/samples/find-in-files/find-in-files"
server="$build/engine/sorvik/sorvik"

# Installing and building cost seconds even when there is nothing to do: both are skipped while
# no source, build or form file is newer than the last build made here.
stamp="$build/.run-sample-built"
stale() {
    [ -x "$sample" ] && [ -x "$server" ] && [ -f "$stamp" ] || return 0
    [ -n "$(find "$repo" \( -path "$build" -o -path "$repo/.git" \) -prune -o -type f \
        \( -name '*.cpp' -o -name '*.h' -o -name 'CMakeLists.txt' -o -name '*.cmake' \
           -o -name '*.in' -o -name '*.ui' -o -name '*.qrc' -o -name '*.xml' \) \
        -newer "$stamp" -print -quit)" ]
}
if stale; then
    touch "$stamp.new" # what changes during the build is built next time
    bash "$repo/scripts/install-deps.sh"
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$build" -j2 --target find-in-files sorvik
    mv "$stamp.new" "$stamp"
fi
# The window's first search looks in the folder the script was started from.

# A private session bus that starts the build tree's sorvik on the first request.
private_bus=(dbus-run-session --config-file="$build/samples/find-in-files/sample-session.conf" --)

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    # On a desktop's own session bus the control starts the sorvik it was built with.
    if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
        exec "$sample"
    fi
    exec "${private_bus[@]}" "$sample"
fi

folder=${1:-$repo/engine}
text=${2:-Grep}
filter=${3:-*.cpp;*.h}
screenshot=${TMPDIR:-/tmp}/find-in-files-$$.png
exec "${private_bus[@]}" "$sample" --headless "$folder" "$text" --ext "$filter" \
    --screenshot "$screenshot"
