#!/usr/bin/env bash
# Builds 声韵笺 and runs its benchmark on the real window (offscreen), printing a table.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
BUILD_TARGET=shengyunjian_bench BUILD_TYPE=${BUILD_TYPE:-Release} CMAKE_EXTRA_ARGS="${CMAKE_EXTRA_ARGS:-} -DSYJ_BENCH=ON" "$root/scripts/setup.sh"
QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/shengyunjian_bench" "$@" 2>/dev/null
