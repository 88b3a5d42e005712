#!/usr/bin/env bash
# The page's work per tick in the browser, over whole shows of the web build:
# each run's median, 99th percentile and longest tick and its late audio
# blocks, then the median of each over RUNS runs, per browser.
# Usage: web-ticks.sh [BROWSER...]   (chromium and firefox by default; SITE,
#   RUNS (3) and GRIDSHOW_WEB_SCREEN (1920x1080) optional)
#   e.g. RUNS=5 bench/web-ticks.sh chromium
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
site=${SITE:-$root/build-web}
runs=${RUNS:-3}
browsers=("$@")
[[ ${#browsers[@]} -gt 0 ]] || browsers=(chromium firefox)
[[ -f $site/gridshow.wasm ]] || { echo "web-ticks: no $site/gridshow.wasm: make web builds it" >&2; exit 1; }
"$root/tests/web/setup.sh"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for browser in "${browsers[@]}"; do
  results=$(mktemp)
  for ((i = 0; i < runs; i++)); do
    node "$root/bench/web-ticks.mjs" "$site" "$browser" | tee -a "$results" | sed "s/^/$browser: /"
  done
  # Fields: ticks N median_ms M p99_ms P max_ms X late L late_after_1s A
  printf '%s median of %d runs: median_ms %s p99_ms %s max_ms %s late %s\n' "$browser" "$runs" \
    "$(awk '{ print $4 }' "$results" | median)" "$(awk '{ print $6 }' "$results" | median)" \
    "$(awk '{ print $8 }' "$results" | median)" "$(awk '{ print $10 }' "$results" | median)"
  rm -f "$results"
done
