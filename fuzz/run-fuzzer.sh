#!/usr/bin/env bash
# Runs the fuzz targets one after the other, each for SECONDS (default 60),
# on one core, from a freshly generated seed corpus plus what earlier runs
# found. Needs the fuzz preset's build (or another in FUZZ_BUILD_DIR).
# Usage: fuzz/run-fuzzer.sh [SECONDS] [module|loader|xm|s3m|it|all]
#   module  whole songs of arbitrary bytes loaded as a module
#   loader  crafted sample headers and periods in a valid module
#   xm      arbitrary bytes loaded as an XM module
#   s3m     arbitrary bytes loaded as an S3M module
#   it      arbitrary bytes loaded as an IT module
set -euo pipefail
seconds=${1:-60}
which=${2:-all}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
bin=$build/bin

run() {
  local target=$1 max_len=$2
  local seeds=$build/fuzz-seeds/$target
  local corpus=$root/fuzz/corpus-run/$target
  local artifacts=$build/fuzz-artifacts/$target
  rm -rf "$seeds"
  mkdir -p "$seeds" "$corpus" "$artifacts"
  "$bin/fuzz_seed_corpus" "$target" "$seeds"
  echo "== ${target}_fuzzer for $seconds s"
  # Leaks are checked at the end of every input; an input plays up to two
  # capped passes over its song under the sanitizers, so allow it time.
  "$bin/${target}_fuzzer" -max_total_time="$seconds" -max_len="$max_len" -timeout=60 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seeds"
}

case $which in
module) run module 24000 ;;
loader) run loader 1024 ;;
xm) run xm 65536 ;;
s3m) run s3m 65536 ;;
it) run it 65536 ;;
all) run module 24000 && run loader 1024 && run xm 65536 && run s3m 65536 && run it 65536 ;;
*) echo "usage: $0 [SECONDS] [module|loader|xm|s3m|it|all]" >&2; exit 2 ;;
esac
