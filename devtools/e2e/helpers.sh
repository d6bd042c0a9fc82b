#!/usr/bin/env bash
# Starts and stops what Davrel's end-to-end tests and its benchmark talk to:
# the tool relay (Debian's adb, and aaptjs's Linux aapt where the bridge
# stands in for aapt.exe) and a simulated TV, both on 127.0.0.1, with an adb
# server of their own (a private port and HOME), so the user's adb is never
# touched.
#
#   helpers.sh start BUILD_DIR [STATE_DIR]
#   helpers.sh stop  BUILD_DIR [STATE_DIR]
#
# STATE_DIR (default BUILD_DIR/e2e) then holds:
#   tools/adb.exe, tools/aapt.exe  what goes into Davrel's data folder
#   tool-relay.txt                 "<port> <token>" for the bridge (owner only)
#   tv-address                     "127.0.0.1:<port>" of the simulated TV
#   scan-tv-online, scan-tv-unauthorized   the address of each (and .received.json its record)
#                                  "127.0.0.x:5555" of two more simulated TVs
#                                  for the search (free addresses from
#                                  127.0.0.71 up), the first with a model name
#   tv.json, received.json         the TV's configuration and its record
#   sample.apk                     a real package (npm: android-apidemos)
#   bundles/                       split-package bundles made from it, and
#                                  broken and hostile ones (bundles/make_suite.py)
#   adb-env                        the private adb's environment, for sourcing
#
# Everything stops by itself when the process that ran "start" ends (ctest,
# or the bench script), or after DAVREL_E2E_LIFETIME seconds (default 3600),
# whichever comes first; "stop" ends it at once.
set -euo pipefail

action=${1:-}
[ $# -ge 2 ] || { echo "usage: $0 start|stop BUILD_DIR [STATE_DIR]" >&2; exit 2; }
export DAVREL_BUILD_DIR=$(cd "$2" && pwd)
state=${3:-$DAVREL_BUILD_DIR/e2e}
lifetime=${DAVREL_E2E_LIFETIME:-3600}
self=$(realpath "$0")

source "$(dirname "$self")/../../scripts/wine-env.sh"
source "$here/scripts/real-tools.sh"

# A pid we recorded still names our own process (and not a reused pid).
ours() {  # pid-file marker
  local pid
  pid=$(cat "$1" 2>/dev/null) || return 1
  [ -n "$pid" ] && tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null | grep -q -- "$2" && echo "$pid"
}

private_adb() {
  [ -f "$state/adb-env" ] || return 0
  (source "$state/adb-env" && timeout 20 adb kill-server >/dev/null 2>&1) || true
}

stop_all() {
  local pid
  rm -f "$state/session"
  pid=$(ours "$state/tv.pid" simtv.py) && kill "$pid" 2>/dev/null || true
  pid=$(ours "$state/relay.pid" relay.py) && kill "$pid" 2>/dev/null || true
  for mode in online unauthorized; do
    pid=$(ours "$state/scan-tv-$mode.pid" simtv.py) && kill "$pid" 2>/dev/null || true
    rm -f "$state/scan-tv-$mode.pid" "$state/scan-tv-$mode"
  done
  private_adb
  rm -f "$state/tv.pid" "$state/relay.pid" "$state/tool-relay.txt" "$state/tv-address"
}

# Two TVs where a search looks for them, port 5555 of loopback addresses
# of their own (other test runs on this machine may hold some).
start_scan_tvs() {
  local mode
  printf '{"product": {"name": "mitv", "model": "小米电视 4A", "device": "m4"}}\n' > "$state/scan-tv.json"
  for mode in online unauthorized; do
    setsid "$PYTHON" "$here/devtools/simtv/simtv.py" --host 127.0.0.71 --port 5555 --next-free-host \
      --mode "$mode" --config "$state/scan-tv.json" --address-file "$state/scan-tv-$mode" \
      --log "$state/scan-tv-$mode.received.json" \
      --parent-pid "$watched" --lifetime "$lifetime" --idle-timeout 0 </dev/null >"$state/scan-tv-$mode.log" 2>&1 &
    echo $! > "$state/scan-tv-$mode.pid"
    davrel_wait_file "$state/scan-tv-$mode" "$(cat "$state/scan-tv-$mode.pid")" ||
      { echo "e2e: a TV for the search did not start: $(cat "$state/scan-tv-$mode.log")" >&2; return 1; }
  done
}

free_port() {
  "$PYTHON" - <<'EOF'
import socket
while True:
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    if not 5037 <= port <= 5585:
        print(port)
        break
EOF
}

case "$action" in
start)
  stop_all 2>/dev/null || true
  watched=$PPID
  davrel_real_tools
  mkdir -p "$state/tools" "$state/home"
  chmod 700 "$state/home"
  cp "$BUILD/bin/adb_bridge.exe" "$state/tools/adb.exe"
  tools=(--tool "adb=$(command -v adb)")
  if davrel_aapt_bridged; then
    cp "$BUILD/bin/adb_bridge.exe" "$state/tools/aapt.exe"
    tools+=(--tool "aapt=$AAPTJS/bin/linux/aapt")
  else
    cp "$AAPTJS/bin/win32/aapt.exe" "$state/tools/aapt.exe"
  fi
  cp "$SAMPLE_APK" "$state/sample.apk"
  rm -rf "$state/bundles"
  "$PYTHON" "$here/devtools/bundles/make_suite.py" --aapt "$AAPTJS/bin/linux/aapt" \
    "$state/sample.apk" "$state/bundles"
  printf 'export ANDROID_ADB_SERVER_PORT=%s\nexport HOME=%q\n' "$(free_port)" "$state/home" \
    > "$state/adb-env"
  "$PYTHON" "$here/devtools/simtv/simtv.py" --print-config > "$state/tv.json"
  rm -f "$state/received.json" "$state/tool-relay.txt" "$state/tv-port"
  session=$$-$RANDOM$RANDOM
  echo "$session" > "$state/session"

  # Detached from the caller's output (ctest waits for its pipes to close)
  # and watching it instead.
  (source "$state/adb-env"
   exec setsid "$PYTHON" "$here/devtools/adb-bridge/relay.py" "${tools[@]}" \
     --info-file "$state/tool-relay.txt" --parent-pid "$watched" --lifetime "$lifetime") \
    </dev/null >"$state/relay.log" 2>&1 &
  echo $! > "$state/relay.pid"
  setsid "$PYTHON" "$here/devtools/simtv/simtv.py" --port 0 --config "$state/tv.json" \
    --log "$state/received.json" --port-file "$state/tv-port" --parent-pid "$watched" \
    --lifetime "$lifetime" --idle-timeout 0 </dev/null >"$state/simtv.log" 2>&1 &
  echo $! > "$state/tv.pid"
  # The adb server outlives its clients: stop it with the rest.
  setsid "$self" watch "$DAVREL_BUILD_DIR" "$state" "$watched" "$session" </dev/null >/dev/null 2>&1 &

  davrel_wait_file "$state/tool-relay.txt" "$(cat "$state/relay.pid")" ||
    { echo "e2e: the relay did not start: $(cat "$state/relay.log")" >&2; stop_all; exit 1; }
  davrel_wait_file "$state/tv-port" "$(cat "$state/tv.pid")" ||
    { echo "e2e: the simulated TV did not start: $(cat "$state/simtv.log")" >&2; stop_all; exit 1; }
  echo "127.0.0.1:$(tr -d '\n' < "$state/tv-port")" > "$state/tv-address"
  start_scan_tvs || { stop_all; exit 1; }
  echo "e2e: relay and simulated TV at $(cat "$state/tv-address") ready in $state"
  ;;
watch)
  # Ends with its session: a later "start" or a "stop" replaces or removes it.
  watched=$4 session=$5
  end=$((SECONDS + lifetime))
  current() { [ "$(cat "$state/session" 2>/dev/null)" = "$session" ]; }
  while current && kill -0 "$watched" 2>/dev/null && [ "$SECONDS" -lt "$end" ]; do
    sleep 1
  done
  if current; then stop_all; fi
  ;;
stop)
  stop_all
  echo "e2e: stopped"
  ;;
*)
  echo "usage: $0 start|stop BUILD_DIR [STATE_DIR]" >&2
  exit 2
  ;;
esac
