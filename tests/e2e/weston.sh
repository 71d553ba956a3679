#!/usr/bin/env bash
# End-to-end test of the program (build/app/lumofree) in a Wayland session through XWayland,
# as GNOME and KDE run it: weston's headless backend (pixman, so screenshots have pixels)
# with XWayland, HOME in a temporary folder, the test-pattern camera. A screenshot is kept in
# BUILD_DIR/e2e-artifacts/weston. Where weston or XWayland cannot run it says "skipped".
# Usage: tests/e2e/weston.sh [BUILD_DIR]   (default: build); run.sh calls it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
program=$build/app/lumofree
shots=$build/e2e-artifacts/weston
source "$root/tests/e2e/lib.sh"

skip() { echo "skipped: $*"; exit 0; }
command -v weston >/dev/null || skip "weston is not installed (scripts/deps.sh test)"
command -v Xwayland >/dev/null || skip "Xwayland is not installed (scripts/deps.sh test)"
require_tools xdotool xwininfo xdpyinfo convert compare ffprobe weston-screenshooter
require_built "$program"
rm -rf "$shots" && mkdir -p "$shots"

mkdir -p "$work/home/Documents" "$work/shots"
mkdir -m 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
unset XDG_CONFIG_HOME DISPLAY WAYLAND_DISPLAY
socket=lumo-e2e-$$

# --debug lets weston-screenshooter in; no idle time, as an idle weston fades to black.
# No core files: XWayland may crash on the input probe below. Its output goes to weston's stderr.
(ulimit -c 0; exec weston --backend=headless-backend.so --use-pixman --width=1280 --height=1024 \
    --xwayland --socket="$socket" --no-config --idle-time=0 --debug --log="$work/weston.log") 2>"$work/xwayland.log" &
weston_pid=$!
pids+=($weston_pid)
# XWayland starts when the first X client connects; weston names its display at once.
waitfor 100 grep -qs "xserver listening on display" "$work/weston.log" || {
    kill -0 "$weston_pid" 2>/dev/null && reason="weston opened no X display" ||
        reason="weston did not start (no headless backend?)"
    tail -n 5 "$work/weston.log" "$work/xwayland.log" 2>/dev/null; skip "$reason"; }
export DISPLAY=$(grep -o "xserver listening on display :[0-9]*" "$work/weston.log" | tail -n1 | grep -o ':[0-9]*')
waitfor 100 sh -c 'xdpyinfo >/dev/null 2>&1' || { tail -n 5 "$work/weston.log" "$work/xwayland.log"; skip "XWayland on $DISPLAY does not answer"; }
echo "weston $(weston --version | grep -o '[0-9.]*$') on Wayland socket $socket, XWayland on $DISPLAY"

# The screen through weston's screenshooter, which writes wayland-screenshot-*.png where it runs.
screenshot() {
    rm -f "$work/shots/"*.png
    (cd "$work/shots" && WAYLAND_DISPLAY=$socket timeout 10 weston-screenshooter) >/dev/null 2>&1 || return 1
    # Its alpha channel is whatever the frame buffer holds: the screen is the colours alone.
    convert "$work/shots/"wayland-screenshot-*.png -alpha off "$1" 2>/dev/null
}
# Unique colours and mean brightness (0-1) of the window's live picture in a screenshot.
picture() { convert "$1" -crop 120x80+$((wx + 14))+$((wy + 100)) +repage -format '%k %[fx:mean]' info: 2>/dev/null; }
varied() { awk -v s="$1" 'BEGIN {split(s, v, " "); exit !(v[1] >= 6 && v[2] > 0.15)}'; }
died() { ! kill -0 "$1" 2>/dev/null; }

# ---- Can synthetic input be given? ----
# XWayland under the headless backend has no seat, and an XTEST pointer move crashes it (weston
# starts a new one for the next client). Probed before the program runs, so it is not hurt.
input=1
xdotool mousemove 10 10 >/dev/null 2>&1
sleep 0.5
if grep -q "xserver exited" "$work/weston.log"; then
    input=0
    echo "note: an XTEST pointer move crashed XWayland (no seat under the headless backend);" \
         "the clicks on Start and Stop are skipped"
    waitfor 100 sh -c 'xdpyinfo >/dev/null 2>&1' || { fail "XWayland did not come back after the probe"; exit 1; }
fi

# ---- The window on the XWayland display ----
launch "$work/program.log" program_pid wid
[ -n "$wid" ] || { echo "FAIL: the window did not appear"; cat "$work/program.log"; exit 1; }
sleep 1.5
read -r wx wy < <(origin "$wid")
check "the window is viewable" sh -c "xwininfo -id $wid | grep -q IsViewable"
check "window is 148x348 (is $(size "$wid"))" test "$(size "$wid")" = 148x348
check "the window is shaped (bounding shape set)" sh -c "xwininfo -shape -id $wid | grep -qi 'window shape extents'"

# ---- The live picture, seen by the compositor ----
# XWayland's root coordinates are weston's: the window sits at the same place in the shot.
if screenshot "$shots/screen.png"; then
    convert "$shots/screen.png" -crop 148x348+$wx+$wy +repage "$shots/window.png"
    first=$(picture "$shots/screen.png")
    check "the compositor shows the live picture (colours, brightness: $first)" varied "$first"
    sleep 1
    screenshot "$work/later.png"
    convert "$shots/screen.png" -crop 120x80+$((wx + 14))+$((wy + 100)) +repage "$work/a.png"
    convert "$work/later.png" -crop 120x80+$((wx + 14))+$((wy + 100)) +repage "$work/b.png"
    differ=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)
    check "the picture moves: a second later it differs ($differ pixels)" test "${differ%% *}" -gt 0
else
    fail "weston-screenshooter took no screenshot"
fi

# ---- Record with Start and Stop ----
if [ "$input" = 1 ]; then
    clickat() { xdotool mousemove $((wx + $1)) $((wy + $2)); sleep 0.15; xdotool click 1; sleep 0.3; }
    clickat 20 308   # Start; the first one asks for the compression
    dlg=$(waitfor 50 xdotool search --name '^Video Compression$' >/dev/null &&
        xdotool search --name '^Video Compression$' | head -n1)
    [ -n "$dlg" ] && { timeout 5 xdotool windowactivate --sync "$dlg" >/dev/null 2>&1; sleep 0.2; xdotool key Return; }
    sleep 3
    clickat 56 308   # Stop
    sleep 0.5
    file=$(recordings | tail -n1)
    n=$(frames "$file")
    check "Start and Stop record a file ffprobe reads ($n frames)" test -n "$file" -a "${n:-0}" -ge 5
else
    echo "skipped: Start and Stop (no synthetic input under the headless backend)"
fi

# ---- SIGTERM ends it cleanly ----
kill -TERM "$program_pid"
check "SIGTERM ends the program" waitfor 50 died "$program_pid"
wait "$program_pid" 2>/dev/null; rc=$?
check "exit code 0 after SIGTERM (is $rc)" test "$rc" = 0

# ---- The session ends: weston goes, and XWayland with it ----
launch "$work/lost.log" lost_pid lwid
if [ -n "$lwid" ]; then
    sleep 1
    kill -TERM "$weston_pid"
    check "the end of the session ends the program" waitfor 50 died "$lost_pid"
    wait "$lost_pid" 2>/dev/null; rc=$?
    check "exit code 1 after the display is lost, no crash (is $rc)" test "$rc" = 1
    check "the program says the display was lost" grep -q "connection to the X server was lost" "$work/lost.log"
else
    fail "the second run's window did not appear"
fi

echo "screenshot: $shots/screen.png"
if [ "$failures" -ne 0 ]; then
    echo "== program output =="; cat "$work/program.log" "$work/lost.log"
    echo "== weston log (end) =="; tail -n 20 "$work/weston.log" "$work/xwayland.log"
    echo "weston e2e: $failures check(s) failed"
    exit 1
fi
echo "weston e2e: all checks passed"
