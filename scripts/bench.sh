#!/usr/bin/env bash
# Prints Davrel's figures under Wine: for each flow (choose a package, connect,
# refresh, install a package of several MB) the time it takes in Davrel,
# driven through its window, beside the time of the bare tool runs it needs,
# the longest time its window did not answer, and Davrel's peak memory; and
# the same for refresh, uninstall and install with a TV that stopped
# answering and for choosing a package with an aapt that hangs. Uses the real
# aapt, the adb bridge and a simulated TV, like the end-to-end tests; and the
# choose and install flows of a 200 MB package and of a bundle of 60 splits,
# to show how Davrel's own share grows with the work. DAVREL_TRACE=<Windows
# path of a file> makes Davrel and the benchmark write a timeline of each
# flow (its tool runs, the icon's extraction and painting) into that file.
#
# Last, a 16 MB package installed with and without reading its share sent
# (DAVREL_NO_PROGRESS_POLL=1 switches that reading off), and their ratio.
#
#   scripts/bench.sh [repetitions]     (default 5; medians are shown)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" >/dev/null
source "$here/scripts/wine-env.sh"
davrel_build --target davrel_bench Davrel adb_bridge fake_tool >/dev/null
davrel_wine_prefix
davrel_start_display
cleanup() {
  "$here/devtools/e2e/helpers.sh" stop "$BUILD" >/dev/null 2>&1 || true
  wineserver -k 2>/dev/null || true
  davrel_stop_display
}
trap cleanup EXIT
"$here/devtools/e2e/helpers.sh" start "$BUILD"
# A 200 MB package and a bundle of 60 splits, made afresh beside the test
# bundles (about 220 MB of disk, removed by the next start of the helpers).
python3 "$here/devtools/bench/make_large.py" "$BUILD/e2e/sample.apk" "$BUILD/e2e/bundles"
wineserver -p 2>/dev/null || true  # already running is fine
$WINE cmd /c exit >/dev/null 2>&1 || true
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
export DAVREL_BENCH_MACHINE="$(nproc) cores, ${cpu:-CPU unknown}, load $(cut -d' ' -f1-3 /proc/loadavg) at the start"
echo "bench: $DAVREL_BENCH_MACHINE"
$WINE "$BUILD/bin/davrel_bench.exe" "$@"
