#!/usr/bin/env bash
# A full run of gridshow.exe under Wine: the same standard error as the
# headless full run and exit code 0. It keeps screenshots of the first banner
# and of the plasma for check_screenshot.sh.
# Usage: full_run.sh EXE STATE ARTIFACTS
here=$(dirname "$0")
# shellcheck source=common.sh
source "$here/common.sh" "$@"

# Wine starts slowly on a busy machine; the show itself takes about a minute.
start_show "$artifacts/full-run.stderr" 150

# The first banner, from the end of the slide-in to its last moments.
wait_line "Audio initialized successfully using embedded data." 60
window=$(show_window 20)
wait_window_settled "$window" 20
screenshot_until_line "$window" banner "Effect 0 finished at order 4" 40

# The plasma follows effect 1; it lasts two order-list entries (about 15 s).
wait_line "Effect 1 finished at order 5" 60
screenshot_until_line "$window" plasma "Effect 2 finished at order 7" 40

wait_show_end 90
printf '%s\n' "${full_run_lines[@]}" >"$artifacts/full-run.expected"
failed=0
if ! cmp -s "$artifacts/full-run.expected" "$artifacts/full-run.stderr"; then
    echo "standard error differs from the headless full run's:" >&2
    diff "$artifacts/full-run.expected" "$artifacts/full-run.stderr" >&2 || true
    failed=1
fi
expect_exit_code 0 || failed=1
exit $failed
