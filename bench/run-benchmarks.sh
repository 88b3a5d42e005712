#!/usr/bin/env bash
# Runs every benchmark executable (build/bin/bench_*), then times modrender
# against xmp on the generated busy module and on the show's song, each at
# its defaults and both without interpolation, and modrender's real-time
# factor in each interpolation mode on the show's song; then what the whole
# show costs on a virtual X display, without and under openbox.
# BUILD_DIR overrides the build folder (default: build/ at the repository root).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
bin=${BUILD_DIR:-$root/build}/bin

found=0
for bench in "$bin"/bench_*; do
  [[ -x $bench ]] || continue
  found=1
  echo "== $(basename "$bench")"
  "$bench" "$@"
done
[[ $found -eq 1 ]] || { echo "no benchmarks in $bin (build first)" >&2; exit 1; }

if [[ -x $bin/modrender && -x $bin/bench_mix ]] && command -v xmp >/dev/null; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  "$bin/bench_mix" --write-mod "$work/busy.mod"
  echo "== modrender against xmp"
  "$root/bench/modrender-vs-xmp.sh" "$work/busy.mod" "$root/player/song.mod"
  echo "== modrender without interpolation against xmp's nearest"
  MODRENDER_ARGS="--interpolation none" XMP_ARGS="-i nearest" \
    "$root/bench/modrender-vs-xmp.sh" "$work/busy.mod" "$root/player/song.mod"
  echo "== modrender's interpolation modes"
  "$root/bench/modrender-modes.sh" "$root/player/song.mod"
fi

if [[ -x $bin/gridshow ]] && command -v Xvfb >/dev/null; then
  echo "== the show's CPU on a virtual display"
  BUILD_DIR=${BUILD_DIR:-$root/build} "$root/bench/show-cpu.sh" openbox
fi
