#!/usr/bin/env bash
# Installs what is missing, builds 声韵笺 with its tests, and runs every test through CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/build}
export CMAKE_EXTRA_ARGS="${CMAKE_EXTRA_ARGS:-} -DSYJ_WERROR=ON -DSYJ_TESTS=ON"
"$root/scripts/setup.sh"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 "$@"
