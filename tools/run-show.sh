#!/usr/bin/env bash
# Plays the show (called by `make run` after the build). Without a display it
# plays the show headless instead and keeps what it would have shown.
set -euo pipefail
cd "$(dirname "$0")/.."

bin=${GRIDSHOW_BIN:-build/bin} # another build folder's executables, if set

if [[ -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ]]; then
    exec "$bin/gridshow"
fi

out=out
echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set):"
echo "playing the show headless and capturing it into $out/ instead."
rm -rf "$out"
status=0
"$bin/gridshow-headless" --capture "$out" --video "$out/show.webm" || status=$?
echo
echo "Video:    $out/show.webm (picture and sound: open it in a browser or a player)"
echo "Pictures: $out/contact-sheet.png (the whole show), $out/frame-*.png (every 50 ticks)"
echo "Sound:    $out/show.wav"
echo "Timeline: $out/timeline.tsv"
exit $status
