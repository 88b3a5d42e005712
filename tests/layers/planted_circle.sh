#!/usr/bin/env bash
# The include checker finds a circle planted between two files of player/
# and one between two files of platform/core, in a copy of the tree.
set -euo pipefail
source_dir=$1
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp -r "$source_dir"/{base,player,platform,grid,show,audio,app} "$copy"/
echo '#include "player/channel.h"' >>"$copy/player/lfo.cpp"
echo '#include "platform/core/message_queue.h"' >>"$copy/platform/core/window_tree.cpp"
if output=$(python3 "$source_dir/tools/check-layers.py" "$copy"); then
  echo "the planted circles were not found"; exit 1
fi
grep -q '^player circle: .*lfo' <<<"$output" || { echo "no player circle in: $output"; exit 1; }
grep -q '^platform/core circle: ' <<<"$output" || { echo "no core circle in: $output"; exit 1; }
