#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest. A Wine start that fails before
# the program prints anything (seen now and then on a loaded machine: exit
# code 1, no output) is tried again, up to twice; anything the program itself
# printed is passed on as it is.
wine=$1; shift
out=$(mktemp)
trap 'rm -f "$out"' EXIT
for try in 1 2 3; do
  "$wine" "$@" >"$out" 2>&1
  rc=$?
  if [ "$rc" = 0 ] || [ -s "$out" ]; then break; fi
  echo "wine-run: $1 ended with $rc before printing anything (try $try)" >&2
  sleep 1
done
cat "$out"
exit "$rc"
