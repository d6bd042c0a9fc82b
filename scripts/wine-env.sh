# Sourced by the run and test scripts: builds Davrel and prepares Wine.
# Sets BUILD (build folder), WINEPREFIX, the GBK locale and a display.
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${DAVREL_BUILD_DIR:-$here/build}
case "$BUILD" in /*) ;; *) BUILD="$here/$BUILD" ;; esac

davrel_build() {
  if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    cmake -S "$here" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  fi
  cmake --build "$BUILD" -j"$(nproc)" "$@"
}

export WINEPREFIX="$BUILD/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# The system code page must be GBK; Wine needs a real zh_CN.UTF-8 locale for
# Chinese arguments, file names and registry values to survive.
export LOCPATH="$here/.deps/locale"
export LC_ALL=zh_CN.UTF-8
export WINE=/usr/lib/wine/wine

davrel_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    $WINE wineboot -u >/dev/null 2>&1 || true
    wineserver -w
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
