#!/usr/bin/env bash
# End-to-end test of the x11 display: the demo in Xvfb under openbox, driven by xdotool,
# checked with xprop, xwininfo and screenshots. Starts and stops its own X server and window
# manager. Usage: tests/e2e/run.sh [BUILD_DIR]   (default: build)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo=$build/tests/e2e/ShapedWindowDemo
skin=$build/tests/e2e/SkinnedWindowDemo
source "$root/tests/e2e/lib.sh"

require_tools Xvfb openbox xdotool xprop xwininfo import
require_built "$demo" "$skin"

start_desktop

"$demo" --headless "$work/reference.ppm" >/dev/null || { echo "FAIL: headless rendering"; exit 1; }
"$demo" --x11 >"$work/demo.log" 2>&1 &
demo_pid=$!
pids+=($demo_pid)
waitfor 100 grep -qs ready "$work/demo.log" || { echo "FAIL: demo did not start"; cat "$work/demo.log"; exit 1; }
wid=$(timeout 10 xdotool search --sync --name '^Lumo e2e demo$' | head -n1)
[ -n "$wid" ] || { echo "FAIL: demo window not found"; exit 1; }
sleep 0.5

prop() { xprop -id "$1" "$2" 2>/dev/null; }
has() { grep -q -- "$2" <<<"$1"; }
logged() { grep -q -- "$1" "$work/demo.log"; }

# ---- Hints of the frameless window ----
check "undecorated (_MOTIF_WM_HINTS decorations 0)" has "$(prop "$wid" _MOTIF_WM_HINTS)" "= 0x2, 0x0, 0x0"
check "title in _NET_WM_NAME" has "$(prop "$wid" _NET_WM_NAME)" '"Lumo e2e demo"'
check "title in WM_NAME" has "$(prop "$wid" WM_NAME)" '"Lumo e2e demo"'
check "window type normal" has "$(prop "$wid" _NET_WM_WINDOW_TYPE)" _NET_WM_WINDOW_TYPE_NORMAL
read -r x y < <(origin "$wid")
check "placed where the program asked (120,100; is $x,$y)" test "$x $y" = "120 100"

# ---- Shape and pixels ----
echo "$(xwininfo -shape -id "$wid" | grep -iE 'shape|extents' | tr -s ' ' | tr '\n' ';')"
import -depth 8 -window "$wid" "$work/window.ppm" 2>/dev/null
import -depth 8 -window root "$work/screen.ppm" 2>/dev/null
share=$("$demo" --compare "$work/reference.ppm" "$work/window.ppm")
check "screenshot equals the headless rendering inside the shape ($share)" \
    "$demo" --compare "$work/reference.ppm" "$work/window.ppm"
share=$("$demo" --outside "$work/reference.ppm" "$work/screen.ppm" "$x" "$y")
check "cut-away corners show what is below, not the window ($share)" \
    "$demo" --outside "$work/reference.ppm" "$work/screen.ppm" "$x" "$y"

# ---- Hover without a pointer grab ----
# The box at 260,150 (80x60) of the window lights while the pointer is over it; it takes the
# capture to see the pointer go, which must not grab the pointer from every other program.
colour() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1; }
hovers() { [ "$(grep -c "^hover $1" "$work/demo.log")" -ge "$2" ]; }
# Another client can take the pointer: xdotool's selectwindow grabs it and waits for a click,
# or gives up at once when someone else holds a grab.
grabbable() {
    rm -f "$work/select.rc"
    (timeout 5 xdotool selectwindow >/dev/null 2>&1; echo $? >"$work/select.rc") &
    local probe=$!
    sleep 0.5
    if [ -s "$work/select.rc" ]; then wait "$probe"; return 1; fi
    xdotool click 1
    wait "$probe"
    [ "$(cat "$work/select.rc")" = 0 ]
}
hx=$((x + 300)); hy=$((y + 180))
xdotool mousemove "$hx" "$hy"
check "hover: the pointer entering the box lights it" waitfor 30 hovers on 1
sleep 0.2
check "hover: the box shows its hover colour (is $(colour "$hx" "$hy"))" test "$(colour "$hx" "$hy")" = "#FAC828"
check "hover: no grab is held, another client can grab the pointer" grabbable
check "hover: still lit after the other client's grab" bash -c "! grep -q '^hover off' '$work/demo.log'"
xdotool mousemove $((x + 200)) $((y + 200))
check "hover: moving off the box onto the window puts it out" waitfor 30 hovers off 1
sleep 0.2
check "hover: the box shows its idle colour again (is $(colour "$hx" "$hy"))" test "$(colour "$hx" "$hy")" = "#5A5A5A"
xdotool mousemove "$hx" "$hy"
check "hover: entering again lights it again" waitfor 30 hovers on 2
xdotool mousemove $((x + 700)) $((y + 500))
check "hover: leaving the window straight from the box puts it out" waitfor 30 hovers off 2
check "hover: and the pointer is free again" grabbable

# ---- Drag the panel: the window follows the pointer ----
xdotool mousemove $((x + 60)) $((y + 20)) && sleep 0.2
xdotool mousedown 1 && sleep 0.1
for step in 1 2 3 4 5; do xdotool mousemove $((x + 60 + step * 20)) $((y + 20 + step * 12)); sleep 0.05; done
# Outside the window: capture keeps the moves coming.
xdotool mouseup 1
waitfor 30 logged "dragged to" ; sleep 0.3
read -r x2 y2 < <(origin "$wid")
check "drag by 100,60 moved the window from $x,$y to $x2,$y2" test "$x2 $y2" = "$((x + 100)) $((y + 60))"
check "the window layer followed the drag" logged "dragged to $((x + 100)) $((y + 60))"
xdotool mousemove $((x2 + 150)) $((y2 + 150)) click 1 && sleep 0.2
read -r x3 y3 < <(origin "$wid")
check "a click below the panel does not move the window" test "$x3 $y3" = "$x2 $y2"

# A window manager that never confirms activation must not hang the test.
key() {
    timeout 5 xdotool windowactivate --sync "$1" >/dev/null 2>&1 || timeout 5 xdotool windowfocus --sync "$1"
    sleep 0.2
    xdotool key "$2"
}

# ---- The framed modal dialog ----
key "$wid" d
dlg=$(waitfor 50 xdotool search --name '^Lumo e2e dialog$' >/dev/null && xdotool search --name '^Lumo e2e dialog$' | head -n1)
if [ -n "$dlg" ]; then
    sleep 0.3
    check "dialog type" has "$(prop "$dlg" _NET_WM_WINDOW_TYPE)" _NET_WM_WINDOW_TYPE_DIALOG
    check "dialog transient for the window" has "$(prop "$dlg" WM_TRANSIENT_FOR)" "$(printf '0x%x' "$wid")"
    check "dialog modal" has "$(prop "$dlg" _NET_WM_STATE)" _NET_WM_STATE_MODAL
    check "dialog undecorated too (the platform draws its frame)" has "$(prop "$dlg" _MOTIF_WM_HINTS)" "= 0x2, 0x0, 0x0"
    xdotool mousemove $((x2 + 60)) $((y2 + 20)) mousedown 1 mousemove $((x2 + 160)) $((y2 + 120)) mouseup 1
    sleep 0.3
    check "while the dialog is open the window cannot be dragged" test "$(origin "$wid")" = "$x2 $y2"
    # openbox closes the active window on Alt+F4 through WM_DELETE_WINDOW.
    key "$dlg" alt+F4
    check "the window manager's close request closes the dialog" waitfor 30 logged "dialog closed"
else
    fail "dialog did not open"
fi

# ---- Full screen ----
key "$wid" f
waitfor 30 sh -c "xprop -id $wid _NET_WM_STATE | grep -q FULLSCREEN"
check "full screen sets _NET_WM_STATE_FULLSCREEN" has "$(prop "$wid" _NET_WM_STATE)" _NET_WM_STATE_FULLSCREEN
check "full screen covers 1280x1024 (is $(size "$wid"))" test "$(size "$wid")" = 1280x1024
key "$wid" f
waitfor 30 sh -c "! xprop -id $wid _NET_WM_STATE | grep -q FULLSCREEN"
check "leaving full screen clears it" bash -c "! xprop -id $wid _NET_WM_STATE | grep -q FULLSCREEN"
check "and gives back the size (is $(size "$wid"))" test "$(size "$wid")" = 360x240

# ---- Minimise and restore ----
key "$wid" m
waitfor 30 sh -c "xprop -id $wid WM_STATE | grep -q Iconic"
check "minimise iconifies (WM_STATE Iconic)" has "$(prop "$wid" WM_STATE)" Iconic
xdotool windowactivate "$wid" >/dev/null 2>&1 || xdotool windowmap "$wid"
waitfor 30 sh -c "xprop -id $wid WM_STATE | grep -q Normal"
check "the window manager restores it (WM_STATE Normal)" has "$(prop "$wid" WM_STATE)" Normal
after() { awk -v a="$1" -v b="$2" '$0 ~ a {m = 1} m && $0 ~ b {f = 1} END {exit !f}' "$work/demo.log"; }
check "the window layer saw the restore" waitfor 30 after minimised restored
xdotool windowminimize "$wid"
waitfor 30 sh -c "xprop -id $wid WM_STATE | grep -q Iconic"
check "iconified by the window manager (WM_STATE Iconic)" has "$(prop "$wid" WM_STATE)" Iconic
check "the window layer saw that too" waitfor 30 sh -c "[ \$(grep -c iconic '$work/demo.log') = 2 ]"
xdotool windowactivate "$wid" >/dev/null 2>&1 || xdotool windowmap "$wid"
check "and restored again" waitfor 30 sh -c "xprop -id $wid WM_STATE | grep -q Normal"

# ---- Quit ----
key "$wid" q
check "Q quits the demo" waitfor 50 sh -c "! kill -0 $demo_pid 2>/dev/null"
wait "$demo_pid" 2>/dev/null; rc=$?
check "demo exit code 0 (is $rc)" test "$rc" = 0

# ---- A window of skinned controls: shaped by their artwork, with a fading button ----
"$skin" --headless "$work/skin-reference.ppm" >/dev/null || fail "skinned window: headless rendering"
"$skin" --x11 >"$work/skin.log" 2>&1 &
skin_pid=$!
pids+=($skin_pid)
if waitfor 100 grep -qs ready "$work/skin.log" &&
    swid=$(timeout 10 xdotool search --sync --name '^Lumo skin demo$' | head -n1) && [ -n "$swid" ]; then
    sleep 0.5
    read -r sx sy < <(origin "$swid")
    skinlog() { grep -q -- "$1" "$work/skin.log"; }
    import -depth 8 -window "$swid" "$work/skin-window.ppm" 2>/dev/null
    share=$("$demo" --compare "$work/skin-reference.ppm" "$work/skin-window.ppm")
    check "skinned window shows its artwork inside its outline ($share)" \
        "$demo" --compare "$work/skin-reference.ppm" "$work/skin-window.ppm"
    import -depth 8 -window root "$work/skin-screen.ppm" 2>/dev/null
    share=$("$skin" --outside "$work/skin-reference.ppm" "$work/skin-screen.ppm" "$sx" "$sy")
    check "the desktop shows through the cut-aways ($share)" \
        "$skin" --outside "$work/skin-reference.ppm" "$work/skin-screen.ppm" "$sx" "$sy"
    # Clicks: the hole in the panel and a cut-away corner belong to the desktop.
    xdotool mousemove $((sx + 100)) $((sy + 45)) click 1; sleep 0.2
    xdotool mousemove $((sx + 3)) $((sy + 3)) click 1; sleep 0.2
    xdotool mousemove $((sx + 62)) $((sy + 97)) click 1; sleep 0.2
    check "clicks in the cut-aways do not reach the window" bash -c "! grep -q click '$work/skin.log'"
    xdotool mousemove $((sx + 30)) $((sy + 45)) click 1
    check "a click inside the outline reaches the panel" waitfor 30 skinlog "click panel 30 45"
    # The button fades to its second cell over 3 s: shots on the way show in-between reds.
    import -depth 8 -window "$swid" "$work/fade0.ppm" 2>/dev/null
    xdotool mousemove $((sx + 100)) $((sy + 115)) click 1
    waitfor 30 skinlog "click button" || fail "the button was not clicked"
    for n in 1 2 3 4 5; do sleep 0.5; import -depth 8 -window "$swid" "$work/fade$n.ppm" 2>/dev/null; done
    sleep 2; import -depth 8 -window "$swid" "$work/fade6.ppm" 2>/dev/null
    shots=$(printf "$work/fade%d.ppm " 0 1 2 3 4 5 6)
    reds=$("$skin" --fade 100 115 $shots)
    check "the fade is visible between screenshots and ends on the second cell (red: $reds)" \
        "$skin" --fade 100 115 $shots
else
    fail "skinned window did not start"; cat "$work/skin.log"
fi
kill "$skin_pid" 2>/dev/null

# ---- The X server goes away: a clear message and exit code 1, no hang ----
"$demo" --x11 >"$work/lost.log" 2>&1 &
lost_pid=$!
pids+=($lost_pid)
waitfor 100 grep -qs ready "$work/lost.log"
kill "${pids[0]}" 2>/dev/null   # Xvfb
waitfor 50 sh -c "! kill -0 $lost_pid 2>/dev/null"
wait "$lost_pid" 2>/dev/null; rc=$?
check "lost X server: exit code 1 (is $rc)" test "$rc" = 1
check "lost X server: the user is told" grep -q "connection to the X server was lost" "$work/lost.log"

# ---- The example bitmap viewer, in an X server of its own ----
"$root/tests/e2e/viewer.sh" "$build" || fail "bitmap viewer end-to-end checks"

# ---- The program itself, in an X server of its own ----
"$root/tests/e2e/lumofree.sh" "$build" || fail "program end-to-end checks"

# ---- The skinned components, in an X server of their own ----
"$root/tests/e2e/skinned.sh" "$build" || fail "skinned components end-to-end checks"

# ---- The program in a Wayland session through XWayland, under weston ----
"$root/tests/e2e/weston.sh" "$build" || fail "Wayland session end-to-end checks"

if [ "$failures" -ne 0 ]; then
    echo "== demo output =="; cat "$work/demo.log"
    echo "e2e: $failures check(s) failed"
    exit 1
fi
echo "e2e: all checks passed"
