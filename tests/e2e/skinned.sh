#!/usr/bin/env bash
# End-to-end test of the skinned components on the x11 display: SkinnedControlsDemo in Xvfb
# under openbox, driven by xdotool, checked from its event lines and from the screen.
# Usage: tests/e2e/skinned.sh [BUILD_DIR]   (default: build); run.sh calls it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
demo=$build/tests/e2e/SkinnedControlsDemo
source "$root/tests/e2e/lib.sh"

require_tools Xvfb openbox xdotool xprop xwininfo import
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

kill "$demo_pid" 2>/dev/null
if [ "$failures" -ne 0 ]; then
    echo "== demo output =="; cat "$work/demo.log"
    echo "skinned e2e: $failures check(s) failed"
    exit 1
fi
echo "skinned e2e: all checks passed"
