# shellcheck shell=bash
# Shared by the Wine test scripts (sourced): the environment that
# wine_env.sh started, the executable under test, and a running show.
# Usage: source common.sh EXE STATE ARTIFACTS
set -euo pipefail

exe=$1
state=$2
artifacts=$3
skip_code=77

if [[ ! -f $exe ]]; then
    echo "$exe is missing: build it with 'make windows' (make test does)" >&2
    exit $skip_code
fi
if [[ ! -f $state/env ]]; then
    echo "no Wine environment in $state: the wine.start test sets it up" >&2
    exit 1
fi
# shellcheck disable=SC1091
source "$state/env"
mkdir -p "$artifacts"

# The headless full run's standard error, line by line.
# shellcheck disable=SC2034 # read by the scripts that source this file
full_run_lines=(
    "Audio initialized successfully using embedded data."
    "Effect 0 finished at order 4" "GridScalingDown (skipping to resize)"
    "Effect 1 finished at order 5" "GridScalingDown (skipping to resize)"
    "Effect 2 finished at order 7" "GridScalingDown (skipping to resize)"
    "Effect 3 finished at order 9" "Animation sequence finished."
)

show_pid=""
show_stderr=""
show_code=""

# Ends the show if a test leaves early (timeout passes the signal on to
# Wine); the environment's stop ends the rest.
stop_show() {
    if [[ -n $show_pid ]]; then
        kill "$show_pid" 2>/dev/null || true
        wait "$show_pid" 2>/dev/null || true
    fi
}
trap stop_show EXIT

# Starts the show in the background with its standard error going to the
# file given. At most `limit` seconds, so that a hung show cannot outlast
# the test.
start_show() {
    show_stderr=$1
    local limit=$2
    rm -f "$show_stderr"
    timeout "$limit" wine "$exe" 2>"$show_stderr" &
    show_pid=$!
}

show_running() {
    [[ -n $show_pid ]] && kill -0 "$show_pid" 2>/dev/null
}

# Waits up to `seconds` for the show to end; its exit code goes to show_code
# (and next to its standard error, for the artefacts).
wait_show_end() {
    local seconds=$1 ticks=0
    while show_running; do
        if ((++ticks > seconds * 10)); then
            echo "the show did not end within $seconds s" >&2
            return 1
        fi
        sleep 0.1
    done
    show_code=0
    wait "$show_pid" || show_code=$?
    show_pid=""
    echo "$show_code" >"$show_stderr.status"
}

# Waits up to `seconds` for a line on the show's standard error.
wait_line() {
    local line=$1 seconds=$2 ticks=0
    until grep -qxF -- "$line" "$show_stderr" 2>/dev/null; do
        if ((++ticks > seconds * 10)) || ! show_running; then
            # The show may have written it just before it ended.
            grep -qxF -- "$line" "$show_stderr" 2>/dev/null && return 0
            echo "no line '$line' within $seconds s; standard error so far:" >&2
            cat "$show_stderr" >&2 || true
            return 1
        fi
        sleep 0.1
    done
}

# The X window that shows the main window's client area (Wine names it after
# the caption and classes it after the executable).
show_window() {
    local seconds=${1:-20} ticks=0 window
    until window=$(xdotool search --onlyvisible --classname gridshow 2>/dev/null | head -1) &&
        [[ -n $window ]]; do
        if ((++ticks > seconds * 10)); then
            echo "no visible window of the show within $seconds s" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "$window"
}

# Prints "x y width height" of an X window on the screen.
window_geometry() {
    xdotool getwindowgeometry --shell "$1" |
        awk -F= '{ value[$1] = $2 } END { print value["X"], value["Y"], value["WIDTH"], value["HEIGHT"] }'
}

# Waits until the window stops moving sideways: the slide-in is over (the
# bob keeps moving it up and down during the banners).
wait_window_settled() {
    local window=$1 seconds=$2 ticks=0 last="" now stable=0
    while ((stable < 3)); do
        if ((++ticks > seconds * 4)); then
            echo "the window kept moving for $seconds s" >&2
            return 1
        fi
        sleep 0.25
        now=$(window_geometry "$window")
        now=${now%% *}
        if [[ $now == "$last" ]] && ((now >= 0)); then
            stable=$((stable + 1))
        else
            stable=0
        fi
        last=$now
    done
}

# Takes a picture of the whole virtual screen and writes the client area's
# geometry at that moment next to it (NAME.png, NAME.geometry).
screenshot() {
    local window=$1 name=$2
    window_geometry "$window" >"$artifacts/$name.geometry"
    import -window root -display "$DISPLAY" "$artifacts/$name.png"
}

# How many of the latest pictures are kept: enough for the whole of an
# effect. The plasma and the banners change every tick and Wine hands the
# cells' repaints to X a few at a time, so a picture can catch a frame half
# drawn; on a busy machine Wine's ticks come slowly and the grow-in fills
# most of the effect. One clean picture among them shows the grid.
kept_pictures=24

# Makes the picture just taken the newest of `name` (NAME.png), moving the
# ones before it down to NAME.1 ... NAME.23 and dropping the oldest.
keep_picture() {
    local name=$1 kind n
    for kind in png geometry; do
        for ((n = kept_pictures - 2; n >= 1; --n)); do
            [[ -f $artifacts/$name.$n.$kind ]] && mv "$artifacts/$name.$n.$kind" "$artifacts/$name.$((n + 1)).$kind"
        done
        [[ -f $artifacts/$name.$kind ]] && mv "$artifacts/$name.$kind" "$artifacts/$name.1.$kind"
        mv "$artifacts/$name.next.$kind" "$artifacts/$name.$kind"
    done
}

# Takes pictures twice a second or so until `line` appears on standard error
# and keeps the last ones taken before it: the latest pictures of the state
# that the line ends. How fast the show's timer ticks is Wine's and the
# machine's business, so a fixed moment could still fall into a grow-in.
screenshot_until_line() {
    local window=$1 name=$2 line=$3 seconds=$4 ticks=0
    rm -f "$artifacts/$name".*png "$artifacts/$name".*geometry
    while show_running && ((++ticks <= seconds * 2)); do
        screenshot "$window" "$name.next"
        if grep -qxF -- "$line" "$show_stderr"; then
            break
        fi
        keep_picture "$name"
        sleep 0.5
    done
    rm -f "$artifacts/$name.next.png" "$artifacts/$name.next.geometry"
    if [[ ! -f $artifacts/$name.png ]]; then
        echo "no picture of the $name before '$line'" >&2
        return 1
    fi
}

# Reports (and fails) when the show's exit code is not `expected`.
expect_exit_code() {
    [[ $show_code == "$1" ]] && return 0
    echo "exit code $show_code, expected $1" >&2
    return 1
}
