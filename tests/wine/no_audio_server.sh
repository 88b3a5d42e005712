#!/usr/bin/env bash
# With no audio server the wave device cannot be opened: the creation of the
# main window fails with the lines of its failure exit and exit code 1.
# Usage: no_audio_server.sh EXE STATE ARTIFACTS
here=$(dirname "$0")
# shellcheck source=common.sh
source "$here/common.sh" "$@"

# A server address where nothing listens (the client never starts one itself).
export PULSE_SERVER=unix:$state/no-such-server
start_show "$artifacts/no-audio-server.stderr" 60
wait_show_end 60

failed=0
# The dot keeps the last line's newline in the text.
actual=$(cat "$artifacts/no-audio-server.stderr" && echo .)
pattern=$'^waveOutOpen failed: [0-9]+\nAudio initialization failed: error\\.WaveOutOpenFailed\nAudio deinitialized\\.\nFailed to create main window\nerror: WindowCreationError\n\\.$'
if [[ ! $actual =~ $pattern ]]; then
    echo "unexpected standard error without an audio server:" >&2
    cat "$artifacts/no-audio-server.stderr" >&2
    failed=1
fi
expect_exit_code 1 || failed=1
exit $failed
