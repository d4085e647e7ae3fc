#!/usr/bin/env bash
# Release check of the Debian package: builds shengyunjian_<version>_<arch>.deb,
# checks its control fields and contents, installs it with apt into a fresh
# minimal Debian root (debootstrap + chroot, from the same mirror this machine's
# apt uses) and starts the installed program there: once on the offscreen
# platform, once as a real X11 window on a virtual X server, with a screenshot.
#
# Slow (minutes: a Debian root, Qt, GStreamer and the CJK fonts are downloaded),
# so it is not part of the CTest run.
#
#   packaging/check-deb.sh [--fresh] [--host]
#     --fresh   debootstrap anew instead of unpacking the cached pristine root
#     --host    skip the clean root: install the .deb on this machine, start it,
#               remove it again (also used when chroot or mount is not permitted)
#
#   BUILD_DIR    build folder for the release build        (default: <repo>/build-deb)
#   ROOT_CACHE   tarball of the pristine debootstrapped root
#                (default: /var/cache/shengyunjian-check/<codename>-minbase.tar.gz)
#   SCREENSHOT   where the clean root's window is saved    (default: $BUILD_DIR/clean-root-screenshot.png)
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$repo/build-deb}
fresh=0 host=0
for arg in "$@"; do
  case $arg in
    --fresh) fresh=1 ;;
    --host) host=1 ;;
    *) echo "usage: $0 [--fresh] [--host]" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "check-deb.sh needs root (apt, debootstrap, chroot)." >&2; exit 1; }
started=$(date +%s)
step() { echo "=== $* ($(($(date +%s) - started)) s)"; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
export DEBIAN_FRONTEND=noninteractive

# --- build the package ------------------------------------------------------
step "building the release package in $build"
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSYJ_TESTS=OFF \
  -DSYJ_BENCH=OFF -DSYJ_FUZZ=OFF -DSYJ_SANITIZE=OFF >/dev/null
cmake --build "$build" --target shengyunjian
rm -f "$build"/shengyunjian_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/shengyunjian_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "FAIL: cpack made no single .deb" >&2
  exit 1
fi
deb=${debs[0]}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
app_id=$(sed -n 's/^set(SYJ_APP_ID \([^)]*\))$/\1/p' "$repo/packaging/Install.cmake")
echo "$deb ($(du -h "$deb" | cut -f1))"

# --- control fields and contents --------------------------------------------
step "checking the control fields and contents"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = shengyunjian ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project is $version"
[ "$(field Section)" = sound ] || fail "Section is '$(field Section)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
echo "Depends: $depends"
# Each entry's package name, one a line.
names=$(tr ',' '\n' <<<"$depends" | sed -e 's/^ *//' -e 's/[ (].*//')
for want in libqt6core6 libqt6gui6 libqt6widgets6 libgstreamer1.0-0 qt6-qpa-plugins \
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav \
  fonts-arphic-uming fonts-noto-cjk qt6-translations-l10n; do
  grep -qx "$want" <<<"$names" || fail "Depends lacks $want"
done
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
expected=(./usr/bin/shengyunjian "./usr/share/applications/$app_id.desktop"
  "./usr/share/metainfo/$app_id.metainfo.xml")
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for f in "${expected[@]}"; do
  grep -qx -- "$f" <<<"$contents" || fail "the package lacks $f"
done
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of the package failed; not installing it." >&2
  exit 1
fi

# --- where to install it ----------------------------------------------------
codename=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)
# The Debian mirror this machine's apt uses for the main suite.
mirror=$(
  { cat /etc/apt/sources.list.d/*.sources 2>/dev/null || true; } |
    awk -v c="$codename" '
      /^URIs:/ {u = $2} /^Suites:/ {for (i = 2; i <= NF; i++) if ($i == c) {print u; exit}}'
)
if [ -z "$mirror" ]; then
  mirror=$({ cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true; } |
    awk -v c="$codename" '$1 == "deb" && $0 ~ " " c " " {for (i = 2; i <= NF; i++) if ($i ~ /^[a-z]+:\/\//) {print $i; exit}}')
fi
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian

if [ "$host" -eq 0 ]; then
  probe=$(mktemp -d)
  if ! chroot / /bin/true 2>/dev/null; then
    echo "NOTE: chroot is not permitted here; falling back to --host." >&2
    host=1
  elif ! mount -t tmpfs syj-probe "$probe" 2>/dev/null; then
    echo "NOTE: mount is not permitted here; falling back to --host." >&2
    host=1
  else
    umount "$probe"
  fi
  rmdir "$probe"
fi

# Starts the installed program for a few seconds on the offscreen platform;
# it must still be running when the time is up (timeout's 124).
# run_offscreen LOG COMMAND-PREFIX...
run_offscreen() {
  local log=$1 rc
  shift
  set +e
  "$@" env QT_QPA_PLATFORM=offscreen timeout 5 shengyunjian >"$log" 2>&1
  rc=$?
  set -e
  if [ "$rc" = 124 ]; then
    echo "offscreen: still running after 5 s"
  else
    fail "offscreen: the installed program exited with $rc: $(cat "$log")"
  fi
  if [ -s "$log" ]; then
    echo "its messages:"
    sed 's/^/  | /' "$log"
  fi
}

if [ "$host" -eq 1 ]; then
  step "installing on this machine (no clean root)"
  was_installed=0
  dpkg-query -W -f='${Status}' shengyunjian 2>/dev/null | grep -q 'install ok installed' && was_installed=1
  apt-get install -y -q --reinstall "$deb" >"$build/host-install.log" 2>&1 ||
    { tail -n 30 "$build/host-install.log"; exit 1; }
  run_offscreen "$build/host-run.log" env -u DISPLAY -u WAYLAND_DISPLAY
  if [ "$was_installed" -eq 0 ]; then
    apt-get remove -y -q shengyunjian >/dev/null
  fi
else
  # --- a clean Debian root --------------------------------------------------
  rootfs=$(mktemp -d /var/tmp/syj-clean-root.XXXXXX)
  xvfb="" app=""
  cleanup() {
    if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
    for m in tmp/.X11-unix dev/pts dev sys proc; do
      mountpoint -q "$rootfs/$m" && umount -l "$rootfs/$m"
    done
    rm -rf --one-file-system "$rootfs"
  }
  trap cleanup EXIT
  cache=${ROOT_CACHE:-/var/cache/shengyunjian-check/$codename-minbase.tar.gz}
  if [ "$fresh" -eq 0 ] && [ -f "$cache" ]; then
    step "unpacking the pristine $codename root from $cache"
    tar -xzf "$cache" -C "$rootfs"
  else
    command -v debootstrap >/dev/null || apt-get install -y -q debootstrap >/dev/null
    step "debootstrap --variant=minbase $codename from $mirror"
    debootstrap --variant=minbase "$codename" "$rootfs" "$mirror" >"$build/debootstrap.log" 2>&1 ||
      { tail -n 30 "$build/debootstrap.log"; exit 1; }
    mkdir -p "$(dirname "$cache")"
    rm -f "$rootfs"/var/cache/apt/archives/*.deb # a fresh machine has no package files lying about
    tar -czf "$cache.part" -C "$rootfs" . && mv "$cache.part" "$cache"
  fi

  # The same Debian suites as this machine (updates and security too), nothing else.
  mapfile -t sources < <(grep -l -F "$mirror" /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  if [ ${#sources[@]} -gt 0 ]; then
    rm -f "$rootfs/etc/apt/sources.list"
    cp "${sources[@]}" "$rootfs/etc/apt/sources.list.d/"
  fi
  cp /etc/resolv.conf "$rootfs/etc/resolv.conf"
  printf '#!/bin/sh\nexit 101\n' >"$rootfs/usr/sbin/policy-rc.d" # no services start
  chmod +x "$rootfs/usr/sbin/policy-rc.d"
  mount -t proc proc "$rootfs/proc"
  mount -t sysfs sys "$rootfs/sys"
  mount --bind /dev "$rootfs/dev"
  mount --bind /dev/pts "$rootfs/dev/pts"
  cp "$deb" "$rootfs/tmp/"
  in_root() { chroot "$rootfs" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

  step "apt-get install ./$(basename "$deb") in the clean root"
  if ! { in_root apt-get update -q && in_root apt-get install -y -q "/tmp/$(basename "$deb")"; } \
    >"$build/clean-root-install.log" 2>&1; then
    tail -n 40 "$build/clean-root-install.log"
    echo "FAIL: apt could not install the package in a clean root" >&2
    exit 1
  fi
  grep -E '^(Need to get|After this operation|[0-9]+ upgraded)' "$build/clean-root-install.log" || true
  [ -x "$rootfs/usr/bin/shengyunjian" ] || fail "/usr/bin/shengyunjian is not installed in the clean root"
  [ -f "$rootfs/usr/share/icons/hicolor/48x48/apps/$app_id.png" ] || fail "the icon is not installed"

  step "starting it in the clean root"
  run_offscreen "$build/clean-root-offscreen.log" in_root

  # A real X11 window: a virtual X server on this machine, its socket shown to the root.
  if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
    display=99
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    mkdir -p "$rootfs/tmp/.X11-unix"
    mount --bind /tmp/.X11-unix "$rootfs/tmp/.X11-unix"
    # Not through in_root: $! must be the program itself (chroot and env exec it).
    chroot "$rootfs" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
      DISPLAY=":$display" QT_QPA_PLATFORM=xcb shengyunjian >"$build/clean-root-xcb.log" 2>&1 &
    app=$!
    window=""
    for _ in $(seq 150); do
      window=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | awk '/"声韵笺"/ {print $1; exit}')
      [ -n "$window" ] && break
      kill -0 "$app" 2>/dev/null || break
      sleep 0.1
    done
    if [ -z "$window" ]; then
      fail "X11: no 声韵笺 window within 15 s: $(cat "$build/clean-root-xcb.log")"
    else
      sleep 2 # the first paint, and time to fall over if it is going to
      kill -0 "$app" 2>/dev/null || fail "X11: the program exited after showing its window"
      # The class the menu entry's StartupWMClass promises.
      DISPLAY=":$display" xwininfo -root -tree | grep -F "$window" | grep -qF ' "shengyunjian")' ||
        fail "X11: the window's class is not shengyunjian"
      echo "X11: the window 声韵笺 is up ($window)"
      if command -v import >/dev/null; then
        shot=${SCREENSHOT:-$build/clean-root-screenshot.png}
        DISPLAY=":$display" import -window "$window" "$shot" && echo "screenshot: $shot"
      fi
    fi
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    app=""
  else
    echo "NOTE: no Xvfb/xwininfo here; the X11 start was not checked." >&2
  fi
fi

step "done"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "the package installs and starts: $(basename "$deb")"
