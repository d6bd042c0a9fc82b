#!/usr/bin/env bash
# Installs what is missing, builds the 32-bit Davrel.exe in Release mode and
# writes the portable zip for Windows users: build/Davrel-<version>-win32.zip
# (Davrel.exe, aaptjs's aapt.exe and the texts of resources/dist).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
source "$here/scripts/wine-env.sh"
source "$here/scripts/real-tools.sh"
davrel_build_i686
davrel_package
echo "package: $DAVREL_ZIP ($(du -k "$DAVREL_ZIP" | cut -f1) KB)"
