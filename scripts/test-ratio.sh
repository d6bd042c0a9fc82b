#!/usr/bin/env bash
# Prints how large the tests are against the code they test: tests/ against
# the product folders, and the Python tests of devtools/ against the rest of
# devtools/, and all tests against everything else the project wrote. Counts
# non-blank lines of tracked source, script and build files.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {  # paths (as git takes them) -> non-blank lines of the tracked source files there
  git ls-files -- "$@" | grep -E '(\.(cpp|h|c|py|sh|rc|cmake)|(^|/)CMakeLists\.txt)$' |
    while IFS= read -r f; do [ -f "$f" ] && cat -- "$f"; done | grep -c '[^[:space:]]' || true
}
ratio() {  # label, test lines, code lines
  awk -v l="$1" -v t="$2" -v c="$3" 'BEGIN { printf "%-44s %5d / %5d = %.2f\n", l, t, c, c ? t / c : 0 }'
}
ratio "tests/ : app framework tools package shell net resources" \
  "$(count tests)" "$(count app framework tools package shell net resources)"
ratio "devtools *_test.py : rest of devtools" \
  "$(count 'devtools/*_test.py')" "$(count devtools ':!devtools/*_test.py')"
ratio "all tests : everything else" \
  "$(count tests 'devtools/*_test.py')" "$(count . ':!tests' ':!devtools/*_test.py')"
