#!/usr/bin/env bash
# The shipped 32-bit Davrel.exe, walked through once (tests/smoke32.cpp) on a
# host that runs no 32-bit code: i386 programs (Wine's 32-bit loader, and so
# Davrel.exe and the real aapt.exe) run under qemu-user emulation through
# binfmt_misc, in a Wine prefix of their own (<build>/wineprefix32, kept).
# Run by ctest (label emu32) after the rest of the suite, with the relay and
# the simulated TV of the end-to-end fixture. Exits 77 (skipped) where the
# emulation cannot be had.
#
# Where the kernel allows it (Linux 6.7 and later), the registration lives
# in a user and mount namespace of this script's own: no other program on
# the machine sees it, and it is gone with the script whatever ends it.
# Elsewhere it is made machine-wide, only when nobody has, and removed again
# (only what was registered here) when the script ends.
#
#   smoke32.sh BUILD_DIR SMOKE_EXE
set -euo pipefail
if [ -z "${DAVREL_SMOKE_NS:-}" ] && unshare --user --map-root-user --mount true 2>/dev/null; then
  DAVREL_SMOKE_NS=1 exec unshare --user --map-root-user --mount bash "$0" "$@"
fi
export DAVREL_BUILD_DIR=$1
source "$(dirname "$0")/wine-env.sh"
source "$here/scripts/real-tools.sh"
binfmt=/proc/sys/fs/binfmt_misc qemu=/usr/bin/qemu-i386-static
skip() { echo "smoke32: SKIPPED: $*"; exit 77; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo -n "$@"; fi; }

[ "$DAVREL_ARCH" = i686 ] && skip "this host runs 32-bit programs: the whole suite ran the 32-bit build"
[ -x "$qemu" ] || skip "$qemu is missing (Debian package qemu-user-static)"
if [ -n "${DAVREL_SMOKE_NS:-}" ] || [ ! -f "$binfmt/register" ]; then
  as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || skip "binfmt_misc cannot be mounted here"
fi
export WINEPREFIX="$BUILD/wineprefix32"
registered=
cleanup() {
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  [ -z "$registered" ] || echo -1 | as_root tee "$binfmt/qemu-i386" >/dev/null || true
}
trap cleanup EXIT
if ! davrel_i386_emulated; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
    as_root tee "$binfmt/register" >/dev/null 2>&1 || skip "cannot register $qemu with binfmt_misc"
  registered=1
fi

# A prefix made while i386 programs could not run lacks its 32-bit half.
syswow=$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll
if [ ! -f "$syswow" ]; then
  echo "smoke32: making $WINEPREFIX with its 32-bit half (a few minutes under emulation)"
  rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
  # Wine makes a missing prefix before it runs anything: a trivial program
  # is enough (wineboot -u would then update it all over again).
  timeout 600 "$WINE" cmd /c exit >/dev/null 2>&1 || true
  timeout 300 wineserver -w || true
  [ -f "$syswow" ] || { echo "smoke32: $WINEPREFIX has no 32-bit half" >&2; exit 1; }
fi
davrel_wine_prefix
davrel_real_tools >/dev/null
winpath() { echo "Z:${1//\//\\}"; }
wineserver -p </dev/null >/dev/null 2>&1 || true
# qemu-user's 32-bit Wine dies with three threads awake at once and starts
# each tool slowly: Davrel is told so (tools/Emulation.h).
DAVREL_UNDER_EMULATION=1 DAVREL_EXE32=$(winpath "$BUILD/i686/bin/Davrel.exe") DAVREL_AAPT32=$(winpath "$AAPTJS/bin/win32/aapt.exe") \
  timeout 1800 "$WINE" "$2"
