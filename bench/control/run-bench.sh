#!/usr/bin/env bash
# Runs the relay benchmark on a private session bus that starts the built sorvik.
# Usage: bench/control/run-bench.sh [build-dir] [findings]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} exec dbus-run-session \
  --config-file="$build/tests/test-session.conf" -- \
  "$build/bench/control/bench_relay" "${2:-100000}"
