#!/usr/bin/env bash
# Installs what is missing, builds Davrel and its tests, and runs every test
# under Wine in a private prefix with the GBK code page and a private display.
# Extra arguments go to ctest (for example: -R Badging).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
source "$here/scripts/wine-env.sh"
echo "test: building for $DAVREL_ARCH in $BUILD"
davrel_build
davrel_build_i686
source "$here/scripts/real-tools.sh"
davrel_package  # the zip's test checks the shipped 32-bit program
davrel_wine_prefix
davrel_start_display
cleanup() { wineserver -k 2>/dev/null || true; davrel_stop_display; }
trap cleanup EXIT
# A persistent wineserver and one warm-up run make each test start fast.
wineserver -p 2>/dev/null || true  # already running is fine
$WINE cmd /c exit >/dev/null 2>&1 || true
cd "$BUILD"
status=0
ctest --output-on-failure -j2 -LE emu32 "$@" || status=$?
# Last and alone: the shipped 32-bit program under emulation (scripts/smoke32.sh).
ctest --output-on-failure -L emu32 "$@" || status=$?
grep -h '^smoke32: SKIPPED' Testing/Temporary/LastTest.log 2>/dev/null || true
"$here/scripts/test-ratio.sh" || true  # how large the tests are, pass or fail
exit "$status"
