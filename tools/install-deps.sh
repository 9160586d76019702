#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo edition need,
# only when something is missing.
set -euo pipefail

packages=(cmake make g++ python3 googletest libgtest-dev
          g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
          wine64 xvfb xauth imagemagick espeak-ng sox)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
