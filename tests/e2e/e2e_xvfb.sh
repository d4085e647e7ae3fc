#!/usr/bin/env bash
# End-to-end run of the real program on a real X server.
#
#   e2e_xvfb.sh /path/to/shengyunjian
#
# Starts its own Xvfb on a free display, starts the program there with the xcb
# platform plugin and drives it with xdotool the way a user would: open a GBK
# lyric file through the file dialog (its path typed, then one click on
# 打开(O) while the completion list is open), type new words into a row, save
# through the save dialog, then type more and save over the same file again
# (declining the replace prompt once). The saved bytes are compared exactly.
# Then starts it again with a song file named on the command line and sees
# the rows of the lyric file beside the song.
#
# No window manager runs, so widgets are found by their place in the window's
# client area. The window has a fixed layout in twips (15 twips a pixel):
#   - bottom panel at y = 7680 twips = 512 px;
#     "打开原唱歌词" at x 3480..5175, y 0..495 of it  -> x 232..345, y 512..545
#     "保存新歌词"   at x 10440..12135                -> x 696..809, y 512..545
#   - after a load of N lines the lyric panel is 2040 + 400 N twips high and
#     its bottom edge stands at the lyric area's bottom (7695 twips = 513 px),
#     so its top is (7695 - (2040 + 400 N)) / 15 px; row k sits at
#     840 + 400 k twips in it, 375 twips high; the new-words box spans
#     x 6600..11175 twips = 440..745 px.
# With N = 3 the panel top is 297 px; row 2 covers y 406..431 and row 3 covers
# y 433..458 of the window.
#
# On failure the script leaves its folder behind with a screenshot of the whole
# screen (fail.png) and prints the program's stderr.

# Helpers are called through poll_until/wait_until and traps.
# shellcheck disable=SC2317

set -u

[[ $# == 1 ]] || { echo 'usage: e2e_xvfb.sh /path/to/shengyunjian' >&2; exit 2; }
APP=$(realpath -- "$1") || exit 1
readonly APP
readonly DEADLINE=100 # seconds; below the test's TIMEOUT so cleanup always runs

readonly MAIN_TITLE='声韵笺'
readonly MAIN_TITLE_MODIFIED='声韵笺*'
readonly OPEN_TITLE='打开'
readonly SAVE_TITLE='保存文本'

# Client-area pixels (see above).
readonly OPEN_LYRICS_X=288 OPEN_LYRICS_Y=528
readonly SAVE_NEW_X=752 SAVE_NEW_Y=528
readonly NEW_WORDS_X=592 # middle of x 440..745
readonly ROW2_Y=418      # middle of y 406..431
readonly ROW3_Y=445      # middle of y 433..458
readonly ROW1_Y=392      # middle of y 380..405
readonly PROBE_X=670     # right part of the boxes, left of the aids' mark: no typed text reaches it
# 打开(O) of the file dialog, from the dialog's bottom right corner (the
# button keeps to that corner whatever the dialog's size).
readonly OPEN_BUTTON_FROM_RIGHT=52 OPEN_BUTTON_FROM_BOTTOM=56

tmp=
xvfb_pid=
app_pid=
W=
keep_tmp=0

log() { printf 'e2e_xvfb: %s\n' "$*" >&2; }

cleanup()
{
    local rc=$?
    trap - EXIT INT TERM HUP
    if [[ -n $app_pid ]]; then
        kill "$app_pid" 2>/dev/null
        wait "$app_pid" 2>/dev/null
    fi
    if [[ -n $xvfb_pid ]]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    if [[ -n $tmp && $keep_tmp == 0 && $rc == 0 ]]; then
        rm -rf -- "$tmp"
    elif [[ -n $tmp ]]; then
        log "files kept in $tmp"
    fi
    exit "$rc"
}
trap cleanup EXIT
trap 'log "interrupted"; exit 130' INT TERM HUP

fail()
{
    log "FAIL: $*"
    keep_tmp=1
    if [[ -n ${DISPLAY:-} && -n $xvfb_pid ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
        if import -window root "$tmp/fail.png" 2>/dev/null; then
            log "screenshot: $tmp/fail.png"
        fi
        log "visible windows:"
        local id name
        for id in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
            name=$(xdotool getwindowname "$id" 2>/dev/null)
            printf '  %s %s\n' "$id" "$name" >&2
        done
        log "input focus: $(xdotool getwindowfocus 2>/dev/null)"
        [[ -n $W ]] && log "main window title: '$(xdotool getwindowname "$W" 2>/dev/null)'"
    fi
    if [[ -n $app_pid ]] && ! kill -0 "$app_pid" 2>/dev/null; then
        log "the program is no longer running"
    fi
    if [[ -s $tmp/app.err ]]; then
        log "program stderr ($tmp/app.err):"
        sed 's/^/  | /' "$tmp/app.err" >&2
    fi
    if [[ -s $tmp/xvfb.log ]]; then
        log "Xvfb log:"
        sed 's/^/  | /' "$tmp/xvfb.log" >&2
    fi
    exit 1
}

# poll_until DESCRIPTION SECONDS COMMAND...: polls COMMAND until it succeeds;
# false when the time is up.
poll_until()
{
    local what=$1 limit=$2
    shift 2
    local end=$((SECONDS + limit))
    ((end > DEADLINE)) && end=$DEADLINE
    while ! "$@"; do
        if [[ -n $app_pid ]] && ! kill -0 "$app_pid" 2>/dev/null; then
            fail "the program ended while waiting for: $what"
        fi
        if ! kill -0 "$xvfb_pid" 2>/dev/null; then
            fail "Xvfb ended while waiting for: $what"
        fi
        ((SECONDS >= end)) && return 1
        sleep 0.05
    done
}

# wait_until DESCRIPTION SECONDS COMMAND...: the same, failing when the time is up.
wait_until()
{
    poll_until "$@" || fail "timed out waiting for: $1"
}

visible_named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null; }
count_visible_named() { visible_named "$1" | grep -c . ; }
visible_count_is() { [[ $(count_visible_named "$2") == "$1" ]]; }
is_viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
is_gone() { ! is_viewable "$1"; }
focus_is() { [[ $(xdotool getwindowfocus 2>/dev/null) == "$1" ]]; }
title_is() { [[ $(xdotool getwindowname "$W" 2>/dev/null) == "$1" ]]; }

# The colour the screen shows at a point of the main window's client area
# (whatever window is on top there), or at a point of the whole screen.
pixel_of()
{
    import -window "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- 2>/dev/null |
        awk 'NR == 2 { print $3 }'
}
pixel() { pixel_of "$W" "$1" "$2"; }

# The colours at the right end of the three new-words boxes.
probe_pixels()
{
    echo "$(pixel "$PROBE_X" "$ROW1_Y") $(pixel "$PROBE_X" "$ROW2_Y") $(pixel "$PROBE_X" "$ROW3_Y")"
}

# True once all three rows stand where the layout for three rows puts them:
# the three new-words boxes show the same colour, which is not the colour that
# was there before the load. While the rows are still being added, the panel
# stands lower and the place of row 1's box shows the column header instead.
rows_in_place()
{
    local r1 r2 r3
    read -r r1 r2 r3 <<<"$(probe_pixels)"
    [[ -n $r2 && $r2 != "$blank" && $r1 == "$r2" && $r3 == "$r2" ]]
}

click() { xdotool mousemove --window "$W" --sync "$1" "$2" click 1; }

# Waits for exactly one visible dialog with the title and for it to hold the
# keyboard; sets dialog_id to its window.
dialog_id=
wait_for_dialog()
{
    wait_until "a dialog titled '$1'" 15 visible_count_is 1 "$1"
    dialog_id=$(visible_named "$1")
    wait_until "keyboard focus on the dialog '$1'" 10 focus_is "$dialog_id"
}

# The file dialog's name field completes names from the folder while one
# types: a list (an override-redirect window of the program) opens and closes
# with each key, and again when the folder has been read in the background.
completion_shown()
{
    local id
    for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Override Redirect State: yes' && return 0
    done
    return 1
}
completion_hidden() { ! completion_shown; }

# Types a file name into the dialog that holds the keyboard. A Return that
# arrives while the completion list is still opening is lost, so this waits
# until the list shows what the whole name makes it show: open when a file in
# the folder starts with the name, closed otherwise.
type_file_name()
{
    local path=$1 f match=0
    for f in "$path"*; do
        [[ -e $f ]] && match=1 && break
    done
    xdotool type --delay 10 "$path"
    if ((match)); then
        wait_until "the completion list for '${path##*/}'" 10 completion_shown
    else
        wait_until "the completion list to close" 10 completion_hidden
    fi
}
enter_file_name() { type_file_name "$1" && xdotool key Return; }

expect_bytes()
{
    local what=$1 expected=$2
    if ! cmp -s "$expected" "$tmp/out.lrc"; then
        log "expected bytes ($what):"
        od -An -c "$expected" >&2
        log "got:"
        if [[ -e $tmp/out.lrc ]]; then od -An -c "$tmp/out.lrc" >&2; else log "  (no $tmp/out.lrc)"; fi
        fail "saved file differs ($what)"
    fi
}

# --- setting up ---------------------------------------------------------------

for tool in Xvfb xdotool import iconv cmp od; do
    command -v "$tool" >/dev/null || { log "FAIL: '$tool' is not installed (see packages.txt)"; exit 1; }
done
[[ -x $APP ]] || { log "FAIL: no program at '$APP'"; exit 1; }

tmp=$(mktemp -d "${TMPDIR:-/tmp}/e2e_xvfb.XXXXXX") || exit 1
mkdir -m 700 "$tmp/runtime" "$tmp/config"

# Xvfb picks the first display number nobody holds (it takes the lock file
# atomically) and writes it to the descriptor once it accepts connections, so
# parallel runs never share a display and no guessing or sleeping is needed.
# A black root (-br): a window that has not been painted yet reads black.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -dpi 96 -br -nolisten tcp -noreset \
    3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
xvfb_pid=$!
display_written() { grep -qx '[0-9]\+' "$tmp/display"; }
wait_until "Xvfb to report its display" 20 display_written
DISPLAY=:$(tr -dc 0-9 <"$tmp/display")
export DISPLAY
log "Xvfb on $DISPLAY"

# A GBK file of three lines: an info line and two timed lines.
printf '[ti:测试]\r\n[00:01.00]床前明月光\r\n[00:05.50]疑是地上霜\r\n' |
    iconv -f UTF-8 -t CP936 >"$tmp/in.lrc" || fail "could not write the GBK lyric file"

# Nothing of the caller's desktop may change the pixel layout or the dialogs.
unset WAYLAND_DISPLAY QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR \
    QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE XAUTHORITY
export QT_QPA_PLATFORM=xcb
# The program's own folders too: a recovery copy left in the user's data
# folder would make it start with a question instead of its window.
export XDG_RUNTIME_DIR=$tmp/runtime XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data \
    XDG_CACHE_HOME=$tmp/cache HOME=$tmp/home
mkdir -p "$tmp/home"

(cd "$tmp" && exec "$APP") >"$tmp/app.out" 2>"$tmp/app.err" &
app_pid=$!

wait_until "the main window '$MAIN_TITLE'" 30 visible_count_is 1 "$MAIN_TITLE"
W=$(visible_named "$MAIN_TITLE")
geometry=$(xdotool getwindowgeometry "$W" | awk '/Geometry:/ { print $2 }')
# 14160 x 9135 twips; anything else means the pixel positions above are off.
[[ $geometry == 944x609 ]] || fail "main window is $geometry, expected 944x609"

# --- opening the original lyrics ------------------------------------------------

painted() { local p; p=$(pixel "$PROBE_X" "$ROW2_Y"); [[ -n $p && $p != '#000000' ]]; }
wait_until "the main window to be painted" 15 painted
blank=$(pixel "$PROBE_X" "$ROW2_Y")
readonly blank

click "$OPEN_LYRICS_X" "$OPEN_LYRICS_Y"
wait_for_dialog "$OPEN_TITLE"
open_dialog=$dialog_id
type_file_name "$tmp/in.lrc"
# A point just inside the dialog, which has drawn itself by now: plain dialog
# background. If the screen still shows that colour there once the dialog has
# gone, the main window has not repainted.
dialog_geometry=$(xdotool getwindowgeometry --shell "$open_dialog")
dialog_spot=("$(($(sed -n 's/^X=//p' <<<"$dialog_geometry") + 4))"
             "$(($(sed -n 's/^Y=//p' <<<"$dialog_geometry") + 4))")
dialog_look=$(pixel_of root "${dialog_spot[@]}")
# The completion list is open over the dialog: one click on 打开(O), which
# stands at the right end of the name line, closes it and opens the file.
dialog_width=$(sed -n 's/^WIDTH=//p' <<<"$dialog_geometry")
dialog_height=$(sed -n 's/^HEIGHT=//p' <<<"$dialog_geometry")
xdotool mousemove --window "$open_dialog" --sync \
    "$((dialog_width - OPEN_BUTTON_FROM_RIGHT))" "$((dialog_height - OPEN_BUTTON_FROM_BOTTOM))" \
    click 1
wait_until "the open dialog to close on one click of 打开(O)" 10 is_gone "$open_dialog"

if ! poll_until "the three rows to be drawn in place" 15 rows_in_place; then
    now=$(probe_pixels)
    if [[ $(pixel_of root "${dialog_spot[@]}") == "$dialog_look" ]]; then
        fail "the main window did not repaint after the load: the screen still shows" \
            "the closed file dialog over it"
    fi
    fail "the three rows are not where the layout for three rows puts them" \
        "(pixels at x=$PROBE_X, y=$ROW1_Y $ROW2_Y $ROW3_Y: $now)"
fi
title_is "$MAIN_TITLE" || fail "title after loading is '$(xdotool getwindowname "$W")'"

# --- typing new words and saving --------------------------------------------------

click "$NEW_WORDS_X" "$ROW2_Y"
wait_until "keyboard focus on the main window" 10 focus_is "$W"
xdotool type --delay 10 'hello world'
wait_until "the title to mark unsaved words" 10 title_is "$MAIN_TITLE_MODIFIED"

click "$SAVE_NEW_X" "$SAVE_NEW_Y"
wait_for_dialog "$SAVE_TITLE"
save_dialog=$dialog_id
[[ -e $tmp/out.lrc ]] && fail "out.lrc exists before the first save"
# No extension: the dialog adds ".lrc".
enter_file_name "$tmp/out"
wait_until "the save dialog to close" 10 is_gone "$save_dialog"
wait_until "the title to drop the unsaved mark" 10 title_is "$MAIN_TITLE"

# Row 1 is an info row with no new words: an empty line. Row 3 is timed and
# has no new words: its tag alone.
printf '\r\n[00:01.00]hello world\r\n[00:05.50]\r\n' >"$tmp/expected1.lrc"
expect_bytes "first save" "$tmp/expected1.lrc"

# --- saving over the same file ----------------------------------------------------

click "$NEW_WORDS_X" "$ROW3_Y"
wait_until "keyboard focus on the main window" 10 focus_is "$W"
xdotool type --delay 10 'again'
wait_until "the title to mark unsaved words again" 10 title_is "$MAIN_TITLE_MODIFIED"

click "$SAVE_NEW_X" "$SAVE_NEW_Y"
wait_for_dialog "$SAVE_TITLE"
save_dialog=$dialog_id
enter_file_name "$tmp/out"

# "out" becomes out.lrc, which exists now: the dialog asks before replacing it.
# The question carries the dialog's title, so it is the second such window.
wait_until "the replace question" 10 visible_count_is 2 "$SAVE_TITLE"
question=$(visible_named "$SAVE_TITLE" | grep -vx "$save_dialog")
wait_until "keyboard focus on the replace question" 10 focus_is "$question"
xdotool key n # 否(N): keep the file, stay in the dialog
wait_until "the replace question to close" 10 is_gone "$question"
is_viewable "$save_dialog" || fail "the save dialog closed on 'No'"
expect_bytes "after declining to replace" "$tmp/expected1.lrc"
title_is "$MAIN_TITLE_MODIFIED" || fail "title after declining is '$(xdotool getwindowname "$W")'"

# Without a window manager nobody hands the keyboard back to the dialog.
xdotool windowfocus --sync "$save_dialog"
wait_until "keyboard focus back on the save dialog" 10 focus_is "$save_dialog"
xdotool key Return
wait_until "the replace question again" 10 visible_count_is 2 "$SAVE_TITLE"
question=$(visible_named "$SAVE_TITLE" | grep -vx "$save_dialog")
wait_until "keyboard focus on the replace question" 10 focus_is "$question"
xdotool key y # 是(Y): replace
wait_until "the save dialog to close" 10 is_gone "$save_dialog"
is_gone "$question" || fail "the replace question is still open"
wait_until "the title to drop the unsaved mark" 10 title_is "$MAIN_TITLE"

printf '\r\n[00:01.00]hello world\r\n[00:05.50]again\r\n' >"$tmp/expected2.lrc"
expect_bytes "after replacing" "$tmp/expected2.lrc"

# The save leaves nothing else behind (no temporary file, no "out" without
# the extension).
outs=("$tmp"/out*)
[[ ${#outs[@]} == 1 ]] || fail "more than one out* file: ${outs[*]}"

# --- opening a file named on the command line --------------------------------------

# As a file manager starts it for a song: the lyric file beside the song opens,
# here through a path relative to the program's current folder.
kill "$app_pid" 2>/dev/null
wait "$app_pid" 2>/dev/null
app_pid=
wait_until "the first window to go" 10 visible_count_is 0 "$MAIN_TITLE"
: >"$tmp/song.mp3"
cp "$tmp/in.lrc" "$tmp/song.lrc"
(cd "$tmp" && exec "$APP" song.mp3) >"$tmp/app.out" 2>"$tmp/app.err" &
app_pid=$!
wait_until "the main window for 'song.mp3'" 30 visible_count_is 1 "$MAIN_TITLE"
W=$(visible_named "$MAIN_TITLE")
# A window not painted yet reads black at all three probes.
painted_rows_in_place() { painted && rows_in_place; }
poll_until "the three rows of song.lrc" 15 painted_rows_in_place ||
    fail "the rows of song.lrc are not drawn (pixels at x=$PROBE_X: $(probe_pixels))"
# A box about the file would carry the program's title too.
visible_count_is 1 "$MAIN_TITLE" ||
    fail "a box opened over the window: $(count_visible_named "$MAIN_TITLE") windows titled" \
        "'$MAIN_TITLE'"

log "PASS (${SECONDS}s)"
exit 0
