#!/usr/bin/env bash
# End-to-end test of the skinned components on the x11 display: SkinnedControlsDemo in Xvfb
# under openbox, driven by xdotool, checked from its event lines and from the screen.
# Usage: tests/e2e/skinned.sh [BUILD_DIR]   (default: build); run.sh calls it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo=$build/tests/e2e/SkinnedControlsDemo
source "$root/tests/e2e/lib.sh"

require_tools Xvfb openbox xdotool xprop xwininfo import compare
require_built "$demo"

start_desktop

"$demo" >"$work/demo.log" 2>&1 &
demo_pid=$!
pids+=($demo_pid)
waitfor 100 grep -qs ready "$work/demo.log" || { echo "FAIL: demo did not start"; cat "$work/demo.log"; exit 1; }
wid=$(timeout 10 xdotool search --sync --name '^Lumo skinned controls$' | head -n1)
[ -n "$wid" ] || { echo "FAIL: demo window not found"; exit 1; }
sleep 0.5

colour() { import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1; }
count() { grep -c -- "^$1\$" "$work/demo.log"; }
# Waits until the screen at X,Y shows COLOUR.
shows() { waitfor 30 sh -c "[ \"\$(import -window root -crop '1x1+$1+$2' -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1)\" = '$3' ]"; }
# On a busy machine the window manager may not have put the window in place yet.
placed() { [ "$(origin "$wid")" = "300 200" ]; }
waitfor 100 placed
read -r x y < <(origin "$wid")

# ---- The button: hover changes its pixels, a cut-away corner is outside it ----
bx=$((x + 20 + 24)); by=$((y + 100 + 16))
check "the button shows its normal cell" shows "$bx" "$by" "#2850C8"
xdotool mousemove "$bx" "$by"
check "hovering enters the button" waitfor 30 sh -c "[ \$(grep -c '^enter Button\$' '$work/demo.log') = 1 ]"
check "hovering shows the hover cell" shows "$bx" "$by" "#FAA028"
xdotool mousemove $((x + 20 + 1)) $((y + 100 + 1))
check "the cut-away corner is outside the button" waitfor 30 sh -c "[ \$(grep -c '^exit Button\$' '$work/demo.log') = 1 ]"
check "leaving over the corner restores the normal cell" shows "$bx" "$by" "#2850C8"

# ---- The switch: a click toggles it once ----
sx=$((x + 120 + 16)); sy=$((y + 100 + 16))
check "the switch shows its off cell" shows "$sx" "$sy" "#505050"
xdotool mousemove "$sx" "$sy" && sleep 0.2
xdotool click 1
check "a click switches it on" waitfor 30 grep -q "^state Switch on$" "$work/demo.log"
check "once (state lines: $(grep -c '^state' "$work/demo.log"))" test "$(grep -c '^state' "$work/demo.log")" = 1
check "it shows the hovered on cell" shows "$sx" "$sy" "#40D040"
xdotool mousemove $((x + 200)) $((y + 120))
check "and the on cell when left" shows "$sx" "$sy" "#20A020"
# Pressed, taken away and released there: cancelled, not toggled.
xdotool mousemove "$sx" "$sy" && sleep 0.2
xdotool mousedown 1 && sleep 0.1
xdotool mousemove $((x + 200)) $((y + 120)) && sleep 0.1
xdotool mouseup 1
check "a release away cancels the press" waitfor 30 grep -q "^cancel Switch$" "$work/demo.log"
check "and toggles nothing" test "$(grep -c '^state' "$work/demo.log")" = 1

# ---- The panel drags the whole window by exactly the drag ----
xdotool mousemove $((x + 60)) $((y + 30)) && sleep 0.2
xdotool mousedown 1 && sleep 0.1
for step in 1 2 3 4 5; do xdotool mousemove $((x + 60 + step * 8)) $((y + 30 + step * 5)); sleep 0.05; done
xdotool mouseup 1
waitfor 30 grep -q "^up Panel$" "$work/demo.log"; sleep 0.3
read -r x2 y2 < <(origin "$wid")
check "dragging the panel by 40,25 moved the window from $x,$y to $x2,$y2" test "$x2 $y2" = "$((x + 40)) $((y + 25))"
check "the window layer agrees" grep -q "^window at $((300 + 40)) $((200 + 25))$" "$work/demo.log"

# ---- A message box: owned by the window, above it even after a click on the window ----
timeout 5 xdotool windowactivate --sync "$wid" >/dev/null 2>&1 || timeout 5 xdotool windowfocus --sync "$wid"
xdotool key b
box=$(waitfor 50 xdotool search --name '^Lumo e2e message$' >/dev/null && xdotool search --name '^Lumo e2e message$' | head -n1)
if [ -n "$box" ]; then
    sleep 0.5
    check "the message box is transient for the window" grep -q "window id # $(printf '0x%x' "$wid")" <<<"$(xprop -id "$box" WM_TRANSIENT_FOR)"
    check "a modal dialog" grep -q _NET_WM_STATE_MODAL <<<"$(xprop -id "$box" _NET_WM_STATE)"
    read -r bx by < <(origin "$box")
    IFS=x read -r bw bh < <(xwininfo -id "$box" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h}')
    import -window root -crop "${bw}x${bh}+${bx}+${by}" +repage "$work/box-before.png" 2>/dev/null
    read -r x3 y3 < <(origin "$wid")
    for p in "$((x3 + 5)) $((y3 + 5))" "$((x3 + 230)) $((y3 + 5))" "$((x3 + 5)) $((y3 + 140))" "$((x3 + 230)) $((y3 + 140))"; do
        read -r px py <<<"$p"
        if [ "$px" -lt "$bx" ] || [ "$px" -ge $((bx + bw)) ] || [ "$py" -lt "$by" ] || [ "$py" -ge $((by + bh)) ]; then
            xdotool mousemove "$px" "$py"; sleep 0.15; xdotool click 1; sleep 0.3
            break
        fi
    done
    import -window root -crop "${bw}x${bh}+${bx}+${by}" +repage "$work/box-after.png" 2>/dev/null
    differ=$(compare -metric AE "$work/box-before.png" "$work/box-after.png" null: 2>&1)
    check "a click on the window leaves the message box above it (pixels differing: $differ)" test "$differ" = 0
    # Its OK button sits centred, 12 pixels above the bottom of the client area.
    xdotool mousemove $((bx + bw / 2)) $((by + bh - 28)); sleep 0.15; xdotool click 1
    check "its OK button answers the message box" waitfor 30 grep -q "^box closed$" "$work/demo.log"
else
    fail "the message box did not open"
fi

kill "$demo_pid" 2>/dev/null
if [ "$failures" -ne 0 ]; then
    echo "== demo output =="; cat "$work/demo.log"
    echo "skinned e2e: $failures check(s) failed"
    exit 1
fi
echo "skinned e2e: all checks passed"
