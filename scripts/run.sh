#!/usr/bin/env bash
# Builds Davrel and starts it under Wine with real tools: data\aapt.exe from
# the npm package aaptjs and data\adb.exe, our bridge to Debian's adb. Unless
# told not to, a simulated TV is started too, so there is a TV to connect to,
# install onto and uninstall from.
#
#   scripts/run.sh [--no-tv] [package.apk]
#
# DAVREL_NO_TV=1 is the same as --no-tv. A package path (Linux or Windows)
# is handed to Davrel as its argument. Safe to run again.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

start_tv=1
[ "${DAVREL_NO_TV:-0}" = 1 ] && start_tv=0
args=()
for a in "$@"; do
  case "$a" in
    --no-tv) start_tv=0 ;;
    *) args+=("$a") ;;
  esac
done

"$here/scripts/setup.sh"
source "$here/scripts/wine-env.sh"
source "$here/scripts/real-tools.sh"
davrel_build --target Davrel adb_bridge
davrel_real_tools
davrel_program_folder
davrel_wine_prefix

cleanup() { davrel_stop_helpers; davrel_stop_display; }
trap cleanup EXIT
[ -n "${DISPLAY:-}" ] || davrel_start_display

davrel_start_relay
if [ "$start_tv" = 1 ]; then
  davrel_start_tv
  echo "Simulated TV at $TV_ADDRESS — type it into Davrel and press 连接设备"
  echo "  its settings: $BUILD/simtv/tv.json (read again when changed)"
  echo "  what it received: $BUILD/simtv/received.json"
fi

# A package given as a Linux path is handed over as Wine sees it.
for i in "${!args[@]}"; do
  if [ -e "${args[$i]}" ]; then
    args[$i]=$($WINE winepath -w "$(realpath "${args[$i]}")" 2>/dev/null | tr -d '\r')
  fi
done

echo "Starting $PROGRAM/Davrel.exe on display $DISPLAY"
cd "$PROGRAM"
$WINE Davrel.exe "${args[@]}"
