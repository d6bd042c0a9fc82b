# Sourced after wine-env.sh by the run, test and package commands (and the
# end-to-end tests):
# real Android tools for Davrel under Wine, its program folder, the tool
# relay and a simulated TV. Every function is safe to call again.
#
#   davrel_real_tools      npm packages aaptjs (aapt) and android-apidemos
#                          (a real .apk to try) into .deps/npm
#   davrel_program_folder  $BUILD/program: Davrel.exe, data\adb.exe (our
#                          bridge), data\aapt.exe
#   davrel_start_relay     runs the Linux tools for the bridge
#   davrel_start_tv [port] simulated TV on 127.0.0.1; sets TV_ADDRESS
#   davrel_stop_helpers    stops the relay and the TV started here
#   davrel_package         $BUILD/Davrel-<version>-win32.zip (scripts/package.sh)

PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=python3
NPM_DIR="$here/.deps/npm"
AAPTJS="$NPM_DIR/node_modules/aaptjs"
SAMPLE_APK="$NPM_DIR/node_modules/android-apidemos/apks/ApiDemos-debug.apk"
PROGRAM="$BUILD/program"

davrel_real_tools() {
  if [ ! -f "$AAPTJS/bin/win32/aapt.exe" ] || [ ! -f "$SAMPLE_APK" ]; then
    echo "tools: installing aaptjs and android-apidemos from npm into $NPM_DIR"
    mkdir -p "$NPM_DIR"
    npm install --prefix "$NPM_DIR" --no-audit --no-fund --loglevel=error \
      aaptjs@1.3.2 android-apidemos@5.0.0 >/dev/null
  fi
  chmod +x "$AAPTJS/bin/linux/aapt"
}

# aaptjs ships a 32-bit aapt.exe. Where this host cannot run 32-bit Windows
# programs (DAVREL_ARCH=x86_64), the bridge stands in for aapt too and the
# relay runs aaptjs's Linux aapt of the same version.
davrel_aapt_bridged() { [ "$DAVREL_ARCH" != i686 ]; }

davrel_program_folder() {
  mkdir -p "$PROGRAM/data"
  cp -u "$BUILD/bin/Davrel.exe" "$PROGRAM/Davrel.exe"
  cp -u "$BUILD/bin/adb_bridge.exe" "$PROGRAM/data/adb.exe"
  if davrel_aapt_bridged; then
    cp -u "$BUILD/bin/adb_bridge.exe" "$PROGRAM/data/aapt.exe"
  else
    cp -u "$AAPTJS/bin/win32/aapt.exe" "$PROGRAM/data/aapt.exe"
  fi
}

# Waits up to 10 s for a file that a helper writes once it listens.
davrel_wait_file() {  # file pid
  local _
  for _ in $(seq 1 100); do
    [ -s "$1" ] && return 0
    kill -0 "$2" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

davrel_start_relay() {
  local info="$PROGRAM/data/tool-relay.txt" tools=(--tool "adb=$(command -v adb)")
  davrel_aapt_bridged && tools+=(--tool "aapt=$AAPTJS/bin/linux/aapt")
  rm -f "$info"
  "$PYTHON" "$here/devtools/adb-bridge/relay.py" "${tools[@]}" --info-file "$info" \
    --parent-pid $$ >/dev/null &
  RELAY_PID=$!
  davrel_wait_file "$info" "$RELAY_PID" || { echo "tools: the relay did not start" >&2; return 1; }
}

# The TV keeps its configuration (mount table, failures, mode) in
# $BUILD/simtv/tv.json, read again whenever it changes, and records what it
# received in $BUILD/simtv/received.json.
davrel_start_tv() {  # [first port to try]
  local dir="$BUILD/simtv" port=${1:-5599} last
  mkdir -p "$dir"
  [ -f "$dir/tv.json" ] || "$PYTHON" "$here/devtools/simtv/simtv.py" --print-config > "$dir/tv.json"
  for last in $(seq "$port" $((port + 10))); do
    rm -f "$dir/port"
    "$PYTHON" "$here/devtools/simtv/simtv.py" --port "$last" --config "$dir/tv.json" \
      --log "$dir/received.json" --port-file "$dir/port" --parent-pid $$ --idle-timeout 0 \
      >/dev/null 2>"$dir/simtv.err" &
    TV_PID=$!
    if davrel_wait_file "$dir/port" "$TV_PID"; then
      TV_ADDRESS="127.0.0.1:$(cat "$dir/port")"
      return 0
    fi
  done
  echo "tools: the simulated TV did not start: $(cat "$dir/simtv.err")" >&2
  return 1
}

davrel_stop_helpers() {
  [ -n "${TV_PID:-}" ] && kill "$TV_PID" 2>/dev/null || true
  [ -n "${RELAY_PID:-}" ] && kill "$RELAY_PID" 2>/dev/null || true
  TV_PID= RELAY_PID=
}

# The portable zip for Windows users from the 32-bit Release build
# (davrel_build_i686), aaptjs's aapt.exe and the texts in resources/dist;
# named after the project version in CMakeLists.txt. Sets DAVREL_ZIP.
davrel_package() {
  local version
  davrel_real_tools
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/i686/CMakeCache.txt")
  [ -n "$version" ] || { echo "package: no project version in $BUILD/i686" >&2; return 1; }
  DAVREL_ZIP="$BUILD/Davrel-$version-win32.zip"
  "$PYTHON" "$here/scripts/make_zip.py" --exe "$BUILD/i686/bin/Davrel.exe" \
    --aapt "$AAPTJS/bin/win32/aapt.exe" --out "$DAVREL_ZIP"
}
