# Shared by the end-to-end scripts: a work folder, the check helpers, and a private X server
# with a window manager, all torn down on exit. Source it after setting `root` and `build`.

work=$(mktemp -d)
pids=()
failures=0

cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local name=$1; shift; if "$@" >/dev/null; then pass "$name"; else fail "$name"; fi; }
# Waits up to $1 tenths of a second for a command to succeed.
waitfor() { local n=$1; shift; for ((i = 0; i < n; i++)); do "$@" && return 0; sleep 0.1; done; return 1; }

# A window's place on the screen ("X Y") and its size ("WxH").
origin() { xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} END {print x, y}'; }
size() { xwininfo -id "$1" | awk '/Width:/ {w=$NF} /Height:/ {h=$NF} END {print w "x" h}'; }
# The program's recordings under $HOME, and how many frames ffprobe reads in one.
recordings() { find "$HOME/Documents/Lumofree/VIDEOS" -name '*.AVI' 2>/dev/null | sort; }
frames() { ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$1" 2>/dev/null; }

# launch LOG PID_VAR WINDOW_VAR: starts $program, its output in LOG, and waits up to 15 s for
# its window; sets the two variables to its pid and the window's id (empty when none appeared).
launch() {
    "$program" >"$1" 2>&1 &
    printf -v "$2" %s $!
    pids+=($!)
    printf -v "$3" %s "$(timeout 15 xdotool search --sync --name '^Lumo free$' | head -n1)"
}

# require_tools TOOL...: every tool must be installed.
require_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (scripts/deps.sh test)"; exit 1; }
    done
}

# require_built PROGRAM...: every program must be built.
require_built() {
    for program in "$@"; do
        [ -x "$program" ] || { echo "FAIL: $program is not built"; exit 1; }
    done
}

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }

# start_desktop: Xvfb on a free display (it writes the number to descriptor 3) with openbox.
start_desktop() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    pids+=($!)
    waitfor 100 test -s "$work/display" || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
    export DISPLAY=:$(head -n1 "$work/display")
    echo "X server on $DISPLAY"
    waitfor 100 sh -c 'xdpyinfo >/dev/null 2>&1' || { echo "FAIL: X server $DISPLAY does not answer"; exit 1; }
    for attempt in 1 2 3; do
        openbox --sm-disable >"$work/openbox.log" 2>&1 &
        pids+=($!)
        waitfor 100 wm_running && break
    done
    wm_running || { echo "FAIL: openbox did not start"; cat "$work/openbox.log"; exit 1; }
}
