#!/usr/bin/env bash
# Real-time factor of modrender in each interpolation mode: seconds of audio
# rendered per second of wall time, the median of RUNS runs per mode, the
# modes alternating run by run.
# Usage: modrender-modes.sh MODULE...   (BUILD_DIR, RUNS optional)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
modrender=${BUILD_DIR:-$root/build}/bin/modrender
runs=${RUNS:-9}
modes=(none linear cubic sinc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

printf '%-16s %8s' module audio_s
printf ' %14s' "${modes[@]/%/_x}"
printf '\n'
for module in "$@"; do
  for mode in "${modes[@]}"; do : >"$work/$mode"; done
  for ((i = 0; i < runs; i++)); do
    for mode in "${modes[@]}"; do
      timed_ms "$modrender" "$module" "$work/out.wav" --interpolation "$mode" | cut -d' ' -f1 >>"$work/$mode"
    done
  done
  audio_s=$(awk -v bytes="$(stat -c %s "$work/out.wav")" 'BEGIN { printf "%.1f", (bytes - 44) / 4 / 48000 }')
  printf '%-16s %8s' "$(basename "$module")" "$audio_s"
  for mode in "${modes[@]}"; do
    awk -v a="$audio_s" -v w="$(median <"$work/$mode")" 'BEGIN { printf " %14.0f", a * 1000 / w }'
  done
  printf '\n'
done
