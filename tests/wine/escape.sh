#!/usr/bin/env bash
# Escape during the show ends it through the teardown: "Audio deinitialized."
# as the last line and exit code 0.
# Usage: escape.sh EXE STATE ARTIFACTS
here=$(dirname "$0")
# shellcheck source=common.sh
source "$here/common.sh" "$@"

start_show "$artifacts/escape.stderr" 90
wait_line "Audio initialized successfully using embedded data." 60
window=$(show_window 20)
wait_window_settled "$window" 20
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers Escape
wait_show_end 20

failed=0
first=$(head -n 1 "$artifacts/escape.stderr")
last=$(tail -n 1 "$artifacts/escape.stderr")
if [[ $first != "Audio initialized successfully using embedded data." ||
    $last != "Audio deinitialized." ]] ||
    [[ $(grep -c "^Audio deinitialized.$" "$artifacts/escape.stderr") != 1 ]]; then
    echo "unexpected standard error after Escape:" >&2
    cat "$artifacts/escape.stderr" >&2
    failed=1
fi
if [[ $show_code != 0 ]]; then
    echo "exit code $show_code, expected 0" >&2
    failed=1
fi
exit $failed
