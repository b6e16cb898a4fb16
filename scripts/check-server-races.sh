#!/usr/bin/env bash
# Runs the engine server's tests against a ThreadSanitizer build of sorvik and of the tests, in
# a build folder of its own. Run it before a change to the server is merged: CI does not (it is
# slow). Any race it reports fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${TAVRIN_TSAN_BUILD_DIR:-build-tsan}
# The engine's own tests with it: the helper thread that searches ahead of a scan, and the
# texts it makes, which other threads free.
tests=(tst_automation tst_slowhandler tst_manyclients tst_serverlimits tst_interfacefile
  tst_messagelimit tst_deafpattern tst_replace tst_Lookahead tst_Scan tst_CompactText)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_SANITIZE=thread \
  -DTAVRIN_BUILD_BENCH=OFF
cmake --build "$build" -j2 --target sorvik automation_client "${tests[@]}"
# Qt and libdbus are not instrumented: their own accesses are left out, and what crosses threads
# through them is handed over where the server's code sees it (PostedCalls). The tests fork
# processes that exec at once.
export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1 die_after_fork=0 \
ignore_noninstrumented_modules=1 suppressions=$PWD/scripts/tsan-server.supp ${TSAN_OPTIONS:-}"
cd "$build"
ctest --output-on-failure -j2 --timeout 1200 -R "^($(IFS='|'; echo "${tests[*]}"))\$"
