#!/usr/bin/env bash
# Runs one test with a home, data, settings and cache folder of its own,
# fresh for every run and removed afterwards, so that no test reads or writes
# the user's folders or what an earlier run left behind.
#
#   hermetic.sh COMMAND [ARGS...]
set -u
home=$(mktemp -d "${TMPDIR:-/tmp}/syj-test-home.XXXXXX") || exit 1
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/data" "$home/config" "$home/cache"
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache
"$@"
