#!/usr/bin/env bash
# End-to-end test of the example bitmap viewer (TBitmapPreview on the x11 display): the
# viewer in Xvfb under openbox, driven by xdotool, checked from its own report lines and from
# screenshots (ImageMagick finds the picture's box inside the grey background).
# Usage: tests/e2e/viewer.sh [BUILD_DIR]   (default: build); run.sh calls it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
viewer=$build/examples/BitmapViewer
source "$root/tests/e2e/lib.sh"

require_tools Xvfb openbox xdotool xprop convert import
require_built "$viewer"

# ---- A file that cannot be read: a clear message and exit code 1, no window ----
echo "not a picture" >"$work/broken.bmp"
DISPLAY= "$viewer" "$work/broken.bmp" >"$work/broken.log" 2>&1; rc=$?
check "unreadable file: exit code 1 (is $rc)" test "$rc" = 1
check "unreadable file: the user is told" grep -q "cannot read .*broken.bmp" "$work/broken.log"
DISPLAY= "$viewer" "$work/missing.bmp" >"$work/missing.log" 2>&1; rc=$?
check "missing file: exit code 1 (is $rc)" test "$rc" = 1

start_desktop

# 400 x 200, a gradient inside a red frame: every row and column of it differs from grey.
convert -size 400x200 gradient:blue-yellow -fill none -stroke red -strokewidth 4 \
    -draw "rectangle 2,2 397,197" -type truecolor BMP3:"$work/picture.bmp"

"$viewer" "$work/picture.bmp" >"$work/viewer.log" 2>&1 &
viewer_pid=$!
pids+=($viewer_pid)
logged() { grep -q -- "$1" "$work/viewer.log"; }
waitfor 100 logged ready || { echo "FAIL: viewer did not start"; cat "$work/viewer.log"; exit 1; }
wid=$(timeout 10 xdotool search --sync --name '^Bitmap viewer( - picture\.bmp)?$' | head -n1)
[ -n "$wid" ] || { echo "FAIL: viewer window not found"; exit 1; }
read -r cx cy cw ch < <(grep ready "$work/viewer.log" | sed 's/.*client=//; s/,/ /g')
sleep 0.5

# The box of what is not background in the client area: WxH+X+Y.
picture_box() {
    import -window root -crop "${cw}x${ch}+${cx}+${cy}" +repage "$work/shot.ppm" 2>/dev/null
    convert "$work/shot.ppm" -fuzz 3% -format '%@' info:
}
key() {
    timeout 5 xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || timeout 5 xdotool windowfocus --sync "$wid"
    sleep 0.2
    xdotool key "$1"
}
last() { grep "^$1 " "$work/viewer.log" | tail -n1; }

# ---- Fitted at start: the whole picture, zoom 640 / 400, centred vertically ----
check "client area 640x480 (is ${cw}x${ch})" test "${cw}x${ch}" = 640x480
box=$(picture_box)
check "fit shows the whole picture centred: 640x320+0+80 (is $box)" test "$box" = 640x320+0+80

# ---- Hand scrolling: the picture follows a drag of 60, 40 ----
xdotool mousemove $((cx + 320)) $((cy + 240)) && sleep 0.2
xdotool mousedown 1 && sleep 0.1
for step in 1 2 3 4 5; do xdotool mousemove $((cx + 320 + step * 12)) $((cy + 240 + step * 8)); sleep 0.05; done
xdotool mouseup 1
waitfor 30 logged scrolled; sleep 0.3
box=$(picture_box)
check "after a drag of 60,40 the picture moved by it: 580x320+60+120 (is $box)" test "$box" = 580x320+60+120
check "the drag became the origin (-37.5, -75 at zoom 1.6)" grep -q "scrolled zoom=1.6 origin=-37.5,-75" "$work/viewer.log"

# ---- Keys and the wheel ----
key f
waitfor 30 logged fitted; sleep 0.3
box=$(picture_box)
check "F fits and centres again (is $box)" test "$box" = 640x320+0+80
key plus
check "+ zooms in by 1.25" waitfor 30 sh -c "grep -q 'zoomed zoom=2 ' '$work/viewer.log'"
xdotool mousemove $((cx + 100)) $((cy + 100)) click 4
check "the wheel zooms in" waitfor 30 sh -c "grep -q 'zoomed zoom=2.5 ' '$work/viewer.log'"
key minus
check "- zooms out" waitfor 30 sh -c "[ \$(grep -c 'zoomed zoom=2 ' '$work/viewer.log') = 2 ]"
key c
waitfor 30 logged centred; sleep 0.3
check "C centres at the zoom in force" grep -q "centred zoom=2 origin=40,-20" "$work/viewer.log"
box=$(picture_box)
check "centred at zoom 2: the picture overflows the width, 640x400+0+40 (is $box)" test "$box" = 640x400+0+40
for q in 0 1 2; do
    key "$q"
    check "key $q sets quality $q" waitfor 30 sh -c "last=\$(grep '^quality ' '$work/viewer.log' | tail -n1); echo \"\$last\" | grep -q 'quality=$q '"
done

# ---- Quit ----
key q
check "Q quits the viewer" waitfor 50 sh -c "! kill -0 $viewer_pid 2>/dev/null"
wait "$viewer_pid" 2>/dev/null; rc=$?
check "viewer exit code 0 (is $rc)" test "$rc" = 0

if [ "$failures" -ne 0 ]; then
    echo "== viewer output =="; cat "$work/viewer.log"
    echo "viewer e2e: $failures check(s) failed"
    exit 1
fi
echo "viewer e2e: all checks passed"
