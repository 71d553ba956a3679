#!/usr/bin/env bash
# End-to-end test of the program itself (build/app/lumofree) in Xvfb under openbox: HOME in a
# temporary folder, a fake xdg-open on PATH that notes its arguments, the test-pattern camera.
# Screenshots of each state are kept in BUILD_DIR/e2e-artifacts/lumofree, with window.png, the
# README's picture (docs/lumofree-window.png): the window stopped and recording, side by side.
# Usage: tests/e2e/lumofree.sh [BUILD_DIR]   (default: build); run.sh calls it.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
program=$build/app/lumofree
shots=$build/e2e-artifacts/lumofree
source "$root/tests/e2e/lib.sh"

require_tools Xvfb openbox xdotool xprop xwininfo import convert compare ffprobe
require_built "$program"
rm -rf "$shots" && mkdir -p "$shots"

# The desktop's opener, as the program finds it on PATH.
mkdir -p "$work/bin" "$work/home/Documents"
cat >"$work/bin/xdg-open" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$*" >>"$work/opened"
SCRIPT
chmod +x "$work/bin/xdg-open"
export HOME=$work/home PATH=$work/bin:$PATH
unset XDG_CONFIG_HOME

start_desktop

shot() { import -window root "$shots/$1.png" 2>/dev/null; }
# The window of screenshot $1 with a margin of $2 pixels on the left and $3 on the other sides,
# the desktop round its cut-away corners painted over in one colour (the desktop is black;
# every black of the window lies inside its frame).
framed() {
    convert "$shots/$1.png" -crop "$((148 + $2 + $3))x$((348 + 2 * $3))+$((wx - $2))+$((wy - $3))" +repage \
        -fill '#3B4A5E' -draw 'color 0,0 floodfill' "$work/$1-framed.png"
}
opened() { grep -qxF -- "$1" "$work/opened" 2>/dev/null; }
# Clicks the window's point (x, y) as a hand does: move there, then press and release.
clickat() { xdotool mousemove $((wx + $1)) $((wy + $2)); sleep 0.15; xdotool click 1; sleep 0.3; }
# Answers the compression dialog the first Start shows with its default button.
answer_compression() {
    local dlg
    dlg=$(waitfor 50 xdotool search --name '^Video Compression$' >/dev/null &&
        xdotool search --name '^Video Compression$' | head -n1)
    [ -n "$dlg" ] || return 1
    sleep 0.3
    shot 03-compression-dialog
    timeout 5 xdotool windowactivate --sync "$dlg" >/dev/null 2>&1 || timeout 5 xdotool windowfocus --sync "$dlg"
    sleep 0.2
    xdotool key Return
}

# ---- What `cmake --install` puts on the machine ----
if cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1; then
    for f in bin/lumofree share/lumofree/help.html share/applications/local.lumo.lumofree.desktop \
        share/icons/hicolor/scalable/apps/lumofree.svg share/metainfo/local.lumo.lumofree.metainfo.xml \
        share/man/man1/lumofree.1.gz; do
        check "installed: $f" test -s "$work/prefix/$f"
    done
    check "the desktop entry starts the installed program" grep -qx "Exec=lumofree" "$work/prefix/share/applications/local.lumo.lumofree.desktop"
else
    fail "cmake --install"; cat "$work/install.log"
fi

launch "$work/program.log" program_pid wid
[ -n "$wid" ] || { echo "FAIL: the window did not appear"; cat "$work/program.log"; exit 1; }
sleep 1.5
read -r wx wy < <(origin "$wid")
shot 01-compact
framed 01-compact 12 12

# ---- The compact window ----
check "window is 148x348 (is $(size "$wid"))" test "$(size "$wid")" = 148x348
check "window is centred on 1280x1024 (at $wx,$wy)" test "$wx $wy" = "566 338"
check "task bar title is the application's (_NET_WM_NAME)" bash -c "xprop -id $wid _NET_WM_NAME | grep -q 'Lumo free'"
shape=$(xwininfo -shape -id "$wid")
check "the window is shaped (bounding shape set)" grep -qi "shape extents" <<<"$shape"
corner=$(import -window root -crop "1x1+$wx+$wy" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1)
centre=$(import -window root -crop "1x1+$((wx + 74))+$((wy + 30))" -depth 8 txt:- 2>/dev/null | grep -o '#[0-9A-F]\{6\}' | head -n1)
check "a cut-away corner shows the desktop ($corner), the panel does not ($centre)" test "$corner" != "$centre"

# ---- Drag by the top panel ----
xdotool mousemove $((wx + 30)) $((wy + 20)); sleep 0.2
xdotool mousedown 1; sleep 0.1
for step in 1 2 3 4 5; do xdotool mousemove $((wx + 30 + step * 20)) $((wy + 20 + step * 12)); sleep 0.05; done
xdotool mouseup 1; sleep 0.4
read -r x2 y2 < <(origin "$wid")
check "dragging the top panel by 100,60 moved the window from $wx,$wy to $x2,$y2" test "$x2 $y2" = "$((wx + 100)) $((wy + 60))"
wx=$x2 wy=$y2
shot 02-dragged

# ---- Record ----
clickat 20 308   # Start
check "the first Start offers the compression dialog" answer_compression
sleep 3
shot 04-recording
framed 04-recording 8 12
convert "$work/01-compact-framed.png" "$work/04-recording-framed.png" +append +repage "$shots/window.png"
check "the window is recording into the day's folder" waitfor 30 test -n "$(recordings)"
file=$(recordings | tail -n1)
name=$(basename "$file")
check "the file is named from the date and time ($name)" grep -Eq '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}-[0-9]{2}-[0-9]{2} [0-9]{3}\.AVI$' <<<"$name"
folder=$(dirname "$file")
check "in VIDEOS/year/MM Mon/DD Day ($folder)" grep -Eq '/Lumofree/VIDEOS/[0-9]{4}/[0-9]{2} [A-Z][a-z]{2}/[0-9]{2} [A-Z][a-z]{2}$' <<<"$folder"
clickat 56 308   # Stop
sleep 0.5
shot 05-stopped
n=$(frames "$file")
check "Stop ends a file ffprobe reads ($n frames)" test "${n:-0}" -ge 5

# ---- Playback and Videos reach xdg-open ----
clickat 128 308   # Playback
clickat 128 272   # Videos
check "Playback hands xdg-open the file" waitfor 30 opened "$file"
check "Videos hands xdg-open the folder" waitfor 30 opened "$folder"

# ---- Full screen and back ----
clickat 92 64   # Full screen
waitfor 30 sh -c "xprop -id $wid _NET_WM_STATE | grep -q FULLSCREEN"
sleep 1
shot 06-full-screen
check "full screen covers 1280x1024 (is $(size "$wid"))" test "$(size "$wid")" = 1280x1024
clickat 56 64   # Compact: the top panel stayed where it was on the screen
waitfor 30 sh -c "! xprop -id $wid _NET_WM_STATE | grep -q FULLSCREEN"
sleep 1
shot 07-compact-again
check "back to the compact window (is $(size "$wid"))" test "$(size "$wid")" = 148x348

# ---- Minimise with Compact, restore from the task bar ----
check "the window keeps its task bar entry" bash -c "! xprop -id $wid _NET_WM_STATE | grep -q SKIP_TASKBAR"
clickat 56 64   # Compact in the compact window
check "Compact in the compact window minimises (WM_STATE Iconic)" waitfor 30 sh -c "xprop -id $wid WM_STATE | grep -q Iconic"
xdotool windowactivate "$wid" >/dev/null 2>&1 || xdotool windowmap "$wid"
check "and the task bar brings it back (WM_STATE Normal)" waitfor 30 sh -c "xprop -id $wid WM_STATE | grep -q Normal"
sleep 0.5
check "unchanged: 148x348 (is $(size "$wid"))" test "$(size "$wid")" = 148x348
read -r wx wy < <(origin "$wid")

# ---- Settings window ----
clickat 20 272   # Settings
settings=$(waitfor 50 xdotool search --name '^Settings$' >/dev/null &&
    for w in $(xdotool search --name '^Settings$'); do xwininfo -id "$w" | grep -q IsViewable && echo "$w"; done | head -n1)
if [ -n "$settings" ]; then
    sleep 0.8
    shot 08-settings
    read -r sx sy < <(origin "$settings")
    IFS=x read -r sw sh < <(size "$settings")
    sx=$((sx + (sw - 112) / 2)) sy=$((sy + sh - 128 - (sw - 112) / 2))
    check "the settings window is transient for the main window" \
        grep -q "window id # $(printf '0x%x' "$wid")" <<<"$(xprop -id "$settings" WM_TRANSIENT_FOR)"
    check "a dialog (_NET_WM_WINDOW_TYPE_DIALOG)" grep -q _NET_WM_WINDOW_TYPE_DIALOG <<<"$(xprop -id "$settings" _NET_WM_WINDOW_TYPE)"
    check "and modal (_NET_WM_STATE_MODAL)" grep -q _NET_WM_STATE_MODAL <<<"$(xprop -id "$settings" _NET_WM_STATE)"
    # A click on the main window's Start switch (disabled meanwhile) leaves the settings
    # window above it: its CLOSE button is still where it was, pixel for pixel.
    import -window root -crop "104x32+$((sx + 4))+$((sy + 72))" +repage "$work/close-before.png" 2>/dev/null
    clickat 20 308
    sleep 0.5
    shot 08b-settings-after-a-click-on-the-main-window
    import -window root -crop "104x32+$((sx + 4))+$((sy + 72))" +repage "$work/close-after.png" 2>/dev/null
    differ=$(compare -metric AE "$work/close-before.png" "$work/close-after.png" null: 2>&1)
    check "a click on the main window leaves the settings window above it (pixels differing: $differ)" test "$differ" = 0
    check "and starts nothing" test -z "$(recordings | grep -vxF "$file")"
    # The driver's Video Format dialog, from the settings window: transient for it, above both.
    xdotool mousemove $((sx + 20)) $((sy + 52)); sleep 0.15; xdotool click 1
    format=$(waitfor 50 xdotool search --name '^Video Format$' >/dev/null && xdotool search --name '^Video Format$' | head -n1)
    if [ -n "$format" ]; then
        sleep 0.5
        check "the Video Format dialog is transient for the settings window" \
            grep -q "window id # $(printf '0x%x' "$settings")" <<<"$(xprop -id "$format" WM_TRANSIENT_FOR)"
        read -r fx fy < <(origin "$format")
        IFS=x read -r fw fh < <(size "$format")
        import -window root -crop "${fw}x${fh}+${fx}+${fy}" +repage "$work/format-before.png" 2>/dev/null
        # Clicks on the parts of its owners the dialog leaves uncovered (a click on the
        # dialog itself would answer it).
        uncovered() { [ "$1" -lt "$fx" ] || [ "$1" -ge $((fx + fw)) ] || [ "$2" -lt "$fy" ] || [ "$2" -ge $((fy + fh)) ]; }
        clicked=0
        for p in "$((wx + 20)) $((wy + 308))" "$((wx + 128)) $((wy + 308))" "$((wx + 20)) $((wy + 20))" \
                 "$((sx + 56)) $((sy + 88))" "$((sx + 20)) $((sy + 52))"; do
            read -r px py <<<"$p"
            uncovered "$px" "$py" || continue
            xdotool mousemove "$px" "$py"; sleep 0.15; xdotool click 1; sleep 0.3
            clicked=$((clicked + 1))
        done
        check "clicked its owners where the dialog leaves them uncovered ($clicked places)" test "$clicked" -ge 2
        sleep 0.5
        shot 08c-video-format-after-clicks-on-its-owners
        import -window root -crop "${fw}x${fh}+${fx}+${fy}" +repage "$work/format-after.png" 2>/dev/null
        differ=$(compare -metric AE "$work/format-before.png" "$work/format-after.png" null: 2>&1)
        check "clicks on its owners leave the Video Format dialog above them (pixels differing: $differ)" test "$differ" = 0
        timeout 5 xdotool windowactivate --sync "$format" >/dev/null 2>&1 || timeout 5 xdotool windowfocus --sync "$format"
        xdotool key Escape
        check "Escape closes the Video Format dialog" waitfor 30 sh -c "! xwininfo -id $format 2>/dev/null | grep -q IsViewable"
        check "the settings window is still open" sh -c "xwininfo -id $settings | grep -q IsViewable"
    else
        fail "the Video Format dialog did not open"
    fi
    xdotool mousemove $((sx + 56)) $((sy + 88)); sleep 0.15; xdotool click 1   # CLOSE
    check "the settings window's CLOSE closes it" waitfor 30 sh -c "! xwininfo -id $settings 2>/dev/null | grep -q IsViewable"
else
    fail "the settings window did not open"
fi

# ---- About window ----
clickat 20 64   # Info
about=$(waitfor 50 xdotool search --name '^AboutForm$' >/dev/null && xdotool search --name '^AboutForm$' | head -n1)
if [ -n "$about" ]; then
    sleep 0.8
    shot 09-about
    read -r ax ay < <(origin "$about")
    # The picture starts where the cut-away frame ends: 344 x 224 inside the window.
    IFS=x read -r aw ah < <(size "$about")
    ax=$((ax + (aw - 344) / 2)) ay=$((ay + ah - 224 - (aw - 344) / 2))
    xdotool mousemove $((ax + 170)) $((ay + 175)); sleep 0.15; xdotool click 1; sleep 0.3
    check "the about window's button opens the help page" waitfor 30 grep -q 'share/lumofree/help.html' "$work/opened"
    xdotool mousemove $((ax + 30)) $((ay + 30)); sleep 0.15; xdotool click 1
    check "a click on the picture closes it" waitfor 30 sh -c "! xwininfo -id $about 2>/dev/null | grep -q IsViewable"
else
    fail "the about window did not open"
fi

# ---- Close ----
clickat 128 64   # Close
check "Close ends the program" waitfor 50 sh -c "! kill -0 $program_pid 2>/dev/null"
wait "$program_pid" 2>/dev/null; rc=$?
check "exit code 0 (is $rc)" test "$rc" = 0

# ---- SIGTERM while recording: the file is finished ----
launch "$work/term.log" term_pid twid
if [ -n "$twid" ]; then
    sleep 1
    read -r wx wy < <(origin "$twid")
    before=$(recordings | wc -l)
    clickat 20 308
    answer_compression   # a new run asks again
    sleep 2.5
    kill -TERM "$term_pid"
    check "SIGTERM ends the program" waitfor 50 sh -c "! kill -0 $term_pid 2>/dev/null"
    wait "$term_pid" 2>/dev/null; rc=$?
    check "exit code 0 after SIGTERM (is $rc)" test "$rc" = 0
    last=$(recordings | tail -n1)
    n=$(frames "$last")
    check "the recording SIGTERM ended is finished ($n frames)" test "$(recordings | wc -l)" -gt "$before" -a "${n:-0}" -ge 3
else
    fail "the second run's window did not appear"
fi

# ---- The X server goes away while recording: exit 1 with a message, the file plays ----
# Last: it ends the desktop.
launch "$work/lost.log" lost_pid lwid
if [ -n "$lwid" ]; then
    sleep 1
    read -r wx wy < <(origin "$lwid")
    before=$(recordings | wc -l)
    clickat 20 308
    answer_compression
    sleep 3
    kill -KILL "${pids[0]}"   # the X server started first
    check "a lost display ends the program" waitfor 100 sh -c "! kill -0 $lost_pid 2>/dev/null"
    wait "$lost_pid" 2>/dev/null; rc=$?
    check "exit code 1 after the display is lost (is $rc)" test "$rc" = 1
    check "the program says the display was lost" grep -q "connection to the X server was lost" "$work/lost.log"
    last=$(recordings | tail -n1)
    n=$(frames "$last")
    # Three seconds at 4 frames a second, less at most one second and the start.
    check "the recording cut off by the lost display plays ($n frames)" \
        test "$(recordings | wc -l)" -gt "$before" -a "${n:-0}" -ge 6
else
    fail "the third run's window did not appear"
fi

echo "screenshots: $shots"
if [ "$failures" -ne 0 ]; then
    echo "== program output =="; cat "$work/program.log"
    echo "lumofree e2e: $failures check(s) failed"
    exit 1
fi
echo "lumofree e2e: all checks passed"
