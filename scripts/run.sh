#!/usr/bin/env bash
# Builds 声韵笺 and starts it. On a machine without a display it starts the
# program on a virtual X server (Xvfb), saves a screenshot of the main window
# and says where.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$root/build}
# Only the program: the tests and the benchmark are built by their own commands.
BUILD_TARGET=shengyunjian "$root/scripts/setup.sh"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/shengyunjian" "$@"
fi

shot=${SCREENSHOT:-$build/shengyunjian-screenshot.png}
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=""
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$build/shengyunjian" "$@" &
app=$!
window=""
for _ in $(seq 100); do
  window=$(xwininfo -root -tree 2>/dev/null | awk '/"声韵笺"/ {print $1; exit}')
  [ -n "$window" ] && break
  kill -0 "$app" 2>/dev/null || { echo "声韵笺 exited before its window appeared." >&2; exit 1; }
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "声韵笺 started but its main window did not appear within 10 seconds." >&2
  exit 1
fi
sleep 1 # let the first paint land
import -window "$window" "$shot"
echo "There is no display here, so 声韵笺 was started on a virtual X server (Xvfb $DISPLAY)," \
  "a screenshot of its main window was saved to $shot, and the program was closed again."
