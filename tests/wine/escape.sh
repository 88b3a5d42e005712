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
# Without a window manager the focus can take a moment to reach Wine; a key
# that went nowhere is sent again.
for ((attempt = 0; attempt < 10; ++attempt)); do
    timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key --clearmodifiers Escape 2>/dev/null || true
    for ((ticks = 0; ticks < 20; ++ticks)); do
        show_running || break 2
        sleep 0.1
    done
done
wait_show_end 20

# The show's own lines up to the moment of the key, then the teardown's.
failed=0
mapfile -t lines <"$artifacts/escape.stderr"
count=${#lines[@]}
as_expected=1
((count >= 2 && count <= ${#full_run_lines[@]})) || as_expected=0
for ((i = 0; as_expected && i < count - 1; ++i)); do
    [[ ${lines[i]} == "${full_run_lines[i]}" ]] || as_expected=0
done
[[ ${lines[count - 1]:-} == "Audio deinitialized." ]] || as_expected=0
[[ $(tail -c 1 "$artifacts/escape.stderr" | od -An -tx1) == " 0a" ]] || as_expected=0
if ((!as_expected)); then
    echo "unexpected standard error after Escape:" >&2
    cat "$artifacts/escape.stderr" >&2
    failed=1
fi
expect_exit_code 0 || failed=1
exit $failed
