#!/usr/bin/env bash
# Times modrender against xmp (an unrelated player, used only as a yardstick)
# rendering the same modules to 48 kHz WAV files, side by side: the runs
# alternate, and each tool's median wall time of RUNS runs is reported with
# its median CPU time, and the real-time factor of modrender's wall time
# (seconds of audio per second). Each tool runs at its own default settings
# unless MODRENDER_ARGS or XMP_ARGS say otherwise, for example
# MODRENDER_ARGS="--interpolation none" XMP_ARGS="-i nearest" to compare the
# two without interpolation.
# Usage: modrender-vs-xmp.sh MODULE...   (BUILD_DIR, RUNS, FRESH optional)
# Each tool overwrites its own output run after run, so opening it (which
# truncates) waits for the writeback of the previous run's file; FRESH=1
# removes the outputs before each timed run, as when rendering a new file.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
modrender=${BUILD_DIR:-$root/build}/bin/modrender
runs=${RUNS:-9}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

printf '%-16s %8s %22s %22s %14s\n' module audio_s 'modrender_ms wall/cpu' 'xmp_ms wall/cpu' modrender_x
for module in "$@"; do
  : >"$work/ours" && : >"$work/theirs"
  for ((i = 0; i < runs; i++)); do
    [[ ${FRESH:-0} == 1 ]] && rm -f "$work/ours.wav"
    # shellcheck disable=SC2086 # the extra arguments are words
    timed_ms "$modrender" "$module" "$work/ours.wav" ${MODRENDER_ARGS:-} >>"$work/ours"
    [[ ${FRESH:-0} == 1 ]] && rm -f "$work/xmp.wav"
    # shellcheck disable=SC2086
    timed_ms xmp -q ${XMP_ARGS:-} -f 48000 -o "$work/xmp.wav" "$module" >>"$work/theirs"
  done
  audio_s=$(awk -v bytes="$(stat -c %s "$work/ours.wav")" 'BEGIN { printf "%.1f", (bytes - 44) / 4 / 48000 }')
  ours_wall=$(cut -d' ' -f1 "$work/ours" | median)
  ours_cpu=$(cut -d' ' -f2 "$work/ours" | median)
  theirs_wall=$(cut -d' ' -f1 "$work/theirs" | median)
  theirs_cpu=$(cut -d' ' -f2 "$work/theirs" | median)
  awk -v m="$(basename "$module")" -v a="$audio_s" -v ow="$ours_wall" -v oc="$ours_cpu" \
    -v tw="$theirs_wall" -v tc="$theirs_cpu" \
    'BEGIN { printf "%-16s %8s %14d / %5d %14d / %5d %14.0f\n", m, a, ow, oc, tw, tc, a * 1000 / ow }'
done
