#!/usr/bin/env bash
# Runs the automation bench on a private session bus that starts the built sorvik.
# Usage: bench/automation/run-bench.sh [build-dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build}
corpus=/tmp/tavrin-bench/corpus
[ -d "$corpus" ] || python3 "$here/../engine/make-corpus.py" "$corpus"
exec dbus-run-session --config-file="$build/tests/test-session.conf" -- \
  "$build/bench/automation/tavrin-automation-bench" "$corpus" QuuxFrobnicate
