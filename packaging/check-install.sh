#!/usr/bin/env bash
# Installs a built tree into a scratch prefix and checks what a desktop sees:
# the program starts, the menu entry and the AppStream data validate, and the
# entry, the icons and the AppStream data all name the same application.
#
#   packaging/check-install.sh BUILD_DIR APP_ID VERSION
set -euo pipefail
build=$1 id=$2 version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
need() { command -v "$1" >/dev/null || { echo "FAIL: $1 is missing (Debian package $2)" >&2; exit 1; }; }
need desktop-file-validate desktop-file-utils
need appstreamcli appstream

cmake --install "$build" --prefix "$prefix" >/dev/null

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
for f in "$desktop" "$metainfo"; do
  [ -f "$f" ] || { echo "FAIL: not installed: ${f#"$prefix"/}" >&2; exit 1; }
done

# desktop-file-validate exits 0 on warnings and hints, so any output is a failure.
out=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$out" ] || fail "desktop-file-validate: $out"

# Pedantic too: every remark AppStream makes is something a software centre may show.
if ! out=$(appstreamcli validate --no-net --pedantic --no-color "$metainfo" 2>&1) ||
  ! grep -qx '✔ Validation was successful.' <<<"$out"; then
  fail "appstreamcli validate: $out"
fi
# The installed tree as a whole: the component, its desktop entry and its icons together.
if ! out=$(appstreamcli validate-tree --no-net --no-color "$prefix" 2>&1); then
  fail "appstreamcli validate-tree: $out"
fi

key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
exec_line=$(key Exec)
program=${exec_line%% *}
[ "$program" = shengyunjian ] || fail "Exec= starts '$program', not the installed program"
[ -x "$prefix/bin/$program" ] || fail "Exec= names bin/$program, which is not installed"
[ "$(key Icon)" = "$id" ] || fail "Icon= is '$(key Icon)', not $id"
# A file manager offers the program for a file only under a type its MIME
# database knows (desktop-file-validate checks the form of the names only).
mime_db=/usr/share/mime
IFS=';' read -r -a mime_types <<<"$(key MimeType)"
[ "${#mime_types[@]}" -gt 0 ] || fail "MimeType= lists no type"
for type in "${mime_types[@]}"; do
  grep -qxF "$type" "$mime_db/types" || grep -q "^$type " "$mime_db/aliases" ||
    fail "MimeType= lists $type, which $mime_db (shared-mime-info) does not know"
done

# <id>, the launchable and the newest release in the AppStream data.
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo <id> is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
  fail "metainfo launchable does not name $id.desktop"
newest=$(grep -o '<release [^>]*version="[^"]*"' "$metainfo" | head -n 1 | sed 's/.*version="\([^"]*\)"/\1/')
[ "$newest" = "$version" ] || fail "newest release in the metainfo is '$newest', the project is $version"

# Every hicolor size, square, of the size its folder says.
for size in 16 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png
  if [ ! -f "$png" ]; then
    fail "icon ${size}x${size} not installed"
    continue
  fi
  read -r -a head <<<"$(od -An -tu1 -w24 -N24 "$png")"
  magic="${head[*]:0:8}"
  width=$(((head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19]))
  height=$(((head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23]))
  [ "$magic" = "137 80 78 71 13 10 26 10" ] || fail "icon ${size}x${size} is not a PNG"
  if [ "$width" != "$size" ] || [ "$height" != "$size" ]; then
    fail "icon ${size}x${size} is ${width}x${height}"
  fi
done

# The notices of the reading tables' data go with the program.
for notice in Unicode-Unihan.txt Cantonese-jyut6ping3.txt CC-BY-4.0.txt OpenCC-Apache-2.0.txt \
  PinyinSimp-Apache-2.0.txt CMU-festlex.txt; do
  [ -s "$prefix/share/doc/shengyunjian/$notice" ] || fail "licence notice not installed: share/doc/shengyunjian/$notice"
done

# --version answers on the terminal, without a display, with the project's version.
if ! out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/shengyunjian" --version 2>&1) ||
  [[ ${out##*[!0-9.]} != "$version" ]]; then
  fail "shengyunjian --version says '$out', not version $version"
fi

# The installed copy (build paths stripped from it) starts and keeps running.
set +e
QT_QPA_PLATFORM=offscreen timeout 3 "$prefix/bin/shengyunjian" >"$prefix/run.log" 2>&1
rc=$?
set -e
[ "$rc" = 124 ] || fail "installed program exited with $rc within 3 s: $(cat "$prefix/run.log")"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed tree OK: $(cd "$prefix" && find . -type f ! -name run.log | wc -l) files, $id $version"
