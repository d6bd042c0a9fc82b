#!/usr/bin/env bash
# Installs what building and testing Davrel needs on Debian 12, then prepares
# the per-checkout dependency folder (.deps): minizip sources and a zh_CN.UTF-8
# locale for Wine. Safe to run again: it only does what is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
deps="$here/.deps"
mkdir -p "$deps"

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake make python3 xz-utils dpkg-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-tools
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev googletest nlohmann-json3-dev
  wine wine64 wine32:i386
  xvfb x11-utils imagemagick fonts-wqy-microhei
  locales adb python3-pefile
  qemu-user-static
)
# npm: Debian's package, unless a Node.js with npm is already there (its own
# nodejs package conflicts with Debian's npm).
command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

# minizip has no MinGW build in Debian; its source package is built with the project.
srclist=/etc/apt/sources.list.d/davrel-deb-src.sources
if [ ! -f "$srclist" ]; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && sed -n 's/^Types: deb$/Types: deb-src/p;/^\(URIs\|Suites\|Components\|Signed-By\):/p;/^$/p' "$f"
  done > "$tmp"
  if [ -f /etc/apt/sources.list ]; then
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /tmp/davrel-src.list || true
  fi
  if [ -s "$tmp" ]; then $SUDO cp "$tmp" "$srclist"; fi
  if [ -s /tmp/davrel-src.list ]; then $SUDO cp /tmp/davrel-src.list /etc/apt/sources.list.d/davrel-deb-src.list; fi
  rm -f "$tmp" /tmp/davrel-src.list
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$deps/minizip/unzip.c" ]; then
  rm -rf "$deps/minizip-src" && mkdir -p "$deps/minizip-src"
  (cd "$deps/minizip-src" && apt-get source -qq minizip >/dev/null 2>&1)
  src=$(find "$deps/minizip-src" -name unzip.c -path '*minizip*' | head -n 1)
  [ -n "$src" ] || { echo "setup: minizip sources not found" >&2; exit 1; }
  rm -rf "$deps/minizip" && cp -r "$(dirname "$src")" "$deps/minizip"
  rm -rf "$deps/minizip-src"
fi

if [ ! -d "$deps/locale/zh_CN.UTF-8" ]; then
  mkdir -p "$deps/locale"
  localedef -i zh_CN -f UTF-8 "$deps/locale/zh_CN.UTF-8" 2>/dev/null || true
  [ -d "$deps/locale/zh_CN.UTF-8" ] || { echo "setup: localedef failed" >&2; exit 1; }
fi
echo "setup: ready"
