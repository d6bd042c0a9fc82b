# Sourced by the run and test scripts: builds Davrel and prepares Wine.
# Sets BUILD (build folder), WINEPREFIX, the GBK locale and a display.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${DAVREL_BUILD_DIR:-$here/build}
case "$BUILD" in /*) ;; *) BUILD="$here/$BUILD" ;; esac

# Davrel is a 32-bit program. Running it under Wine needs a host that runs
# 32-bit Linux programs (Wine's i386 loader); where the kernel has 32-bit
# emulation switched off, the tests and the run command use a 64-bit build of
# the same sources instead, and the 32-bit Davrel.exe is still built beside it.
# binfmt_misc handlers come before the kernel's own loader: while one hands
# i386 programs to qemu (the 32-bit smoke test registers one), the probe
# below succeeds under emulation, far too slow for the suite, whatever the
# kernel could do itself. /proc/sys/abi or dmesg cannot tell that.
davrel_i386_emulated() {
  local f
  [ "$(cat /proc/sys/fs/binfmt_misc/status 2>/dev/null)" = enabled ] || return 1
  for f in /proc/sys/fs/binfmt_misc/*; do
    [ "$(head -n 1 "$f" 2>/dev/null)" = enabled ] && grep -q '^interpreter .*qemu-i386' "$f" && return 0
  done
  return 1
}
if [ -z "${DAVREL_ARCH:-}" ]; then
  if ! davrel_i386_emulated && /lib/i386-linux-gnu/ld-linux.so.2 --version >/dev/null 2>&1; then
    DAVREL_ARCH=i686
  else
    DAVREL_ARCH=x86_64
  fi
fi
export DAVREL_ARCH

# Optimised as shipped but without debug information, which makes the two
# builds of the test command a sixth slower (for winedbg backtraces, configure
# a build folder of your own without these).
DAVREL_NO_DEBUG_INFO=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG")

davrel_configure() {  # build folder, arch
  # A folder configured for the other architecture starts over.
  if [ -f "$1/CMakeCache.txt" ] && ! grep -q "mingw-$2.cmake" "$1/CMakeCache.txt"; then
    rm -rf "$1/CMakeCache.txt" "$1/CMakeFiles"
  fi
  if [ ! -f "$1/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$1" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$2.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo "${DAVREL_NO_DEBUG_INFO[@]}" "${@:3}" >/dev/null
  fi
}

davrel_build() {
  davrel_configure "$BUILD" "$DAVREL_ARCH"
  cmake --build "$BUILD" -j"$(nproc)" "$@"
}

# The shipped 32-bit program in Release mode, the one the zip holds
# (davrel_package), built even where it cannot run here.
davrel_build_i686() {
  # Folders made before the zip existed hold a RelWithDebInfo build.
  grep -qs '^CMAKE_BUILD_TYPE:STRING=Release$' "$BUILD/i686/CMakeCache.txt" || rm -f "$BUILD/i686/CMakeCache.txt"
  davrel_configure "$BUILD/i686" i686 -DDAVREL_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
  cmake --build "$BUILD/i686" -j"$(nproc)" --target Davrel
}

export WINEPREFIX="$BUILD/wineprefix"
# Davrel's 搜索电视 scans the PC's networks unless this names others. Every
# Davrel our scripts, tests and benchmark start sees it (Wine hands the
# environment on), and only loopback ranges are kept: on our machines nothing
# may be sent beyond 127.0.0.0/8.
davrel_loopback_only() {  # every comma-separated entry is 127.x.y.z[/n] with n of 8 or more
  local entry entries
  IFS=, read -ra entries <<< "$1"
  [ "${#entries[@]}" -gt 0 ] || return 1
  for entry in "${entries[@]}"; do
    entry=${entry// /}
    [[ "$entry" =~ ^127\.[0-9]{1,3}\.[0-9]{1,3}\.[0-9]{1,3}(/(8|9|[12][0-9]|3[0-2]))?$ ]] || return 1
  done
}
davrel_loopback_only "${DAVREL_SCAN_NETWORKS:-}" || DAVREL_SCAN_NETWORKS=127.0.0.0/24
export DAVREL_SCAN_NETWORKS
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The system code page must be GBK; Wine needs a real zh_CN.UTF-8 locale for
# Chinese arguments, file names and registry values to survive.
export LOCPATH="$here/.deps/locale"
{ export LC_ALL=zh_CN.UTF-8; } 2>/dev/null
if [ "$DAVREL_ARCH" = i686 ]; then export WINE=/usr/lib/wine/wine; else export WINE=/usr/lib/wine/wine64; fi

davrel_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    $WINE wineboot -u >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
  fi
  # A virtual desktop gives windows a title bar without a window manager, and
  # Wine closes and opens windows on it far faster than on the bare display.
  if [ ! -f "$WINEPREFIX/.davrel-desktop" ]; then
    $WINE reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    $WINE reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x800 /f >/dev/null 2>&1
    timeout 60 wineserver -w || true
    touch "$WINEPREFIX/.davrel-desktop"
  fi
}

# Starts a private Xvfb on a free display number; stopped by davrel_stop_display.
davrel_start_display() {
  local n
  for n in $(seq 91 140); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  echo "could not start Xvfb" >&2
  return 1
}

davrel_stop_display() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
}
