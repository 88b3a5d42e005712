#!/usr/bin/env bash
# Runs the module fuzzer for SECONDS (default 60) from a freshly generated seed
# corpus plus what earlier runs found. Needs the fuzz preset's build.
# Usage: fuzz/run-fuzzer.sh [SECONDS]
set -euo pipefail
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$root/build-fuzz/bin
seeds=$root/build-fuzz/fuzz-seeds
corpus=$root/fuzz/corpus-run
artifacts=$root/build-fuzz/fuzz-artifacts

mkdir -p "$seeds" "$corpus" "$artifacts"
"$bin/fuzz_seed_corpus" "$seeds"
# The show's own song is a good seed as well.
[[ -f $root/player/song.mod ]] && cp "$root/player/song.mod" "$seeds/show_song.mod"

# One input plays 3200 ticks under the sanitizers: allow it time. Leaks are
# checked at the end of every input.
exec "$bin/module_fuzzer" -max_total_time="$seconds" -max_len=24000 -timeout=60 \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seeds"
