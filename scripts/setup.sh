#!/usr/bin/env bash
# Installs the Debian packages listed in packages.txt that are not installed yet,
# then configures and builds 声韵笺 into build/ (or $BUILD_DIR): everything, or
# only the target named by $BUILD_TARGET.
# Quick when everything is already there: it only asks dpkg, then lets CMake/Ninja
# rebuild what changed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}

mapfile -t wanted < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' "$root/packages.txt" | grep -v '^$')
missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "声韵笺: installing ${#missing[@]} Debian package(s): ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" ${CMAKE_EXTRA_ARGS:-} >/dev/null
cmake --build "$build" ${BUILD_TARGET:+--target "$BUILD_TARGET"} -- -k 0
