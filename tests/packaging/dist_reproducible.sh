#!/usr/bin/env bash
# make dist's archives, built twice from the same commit, are the same bytes,
# and the Windows archive holds the executable and its README.txt.
# Usage: dist_reproducible.sh SOURCE_DIR VERSION
set -euo pipefail

root=$1
version=$2
if [[ ! -f $root/build-windows/bin/gridshow.exe ]]; then
    echo "skipped: build-windows/bin/gridshow.exe is missing: build it with 'make windows'"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$root/packaging/make-dist.sh" "$work/one" >/dev/null
sleep 1 # a time stamp taken from the clock would now differ
"$root/packaging/make-dist.sh" "$work/two" >/dev/null
failed=0

windows=gridshow-$version-windows-x64
for archive in "$windows.zip" "gridshow_${version}_amd64.deb"; do
    [[ -f $work/one/$archive ]] || { echo "make dist wrote no $archive" >&2; failed=1; }
done
for archive in "$work"/one/*; do
    name=$(basename "$archive")
    cmp "$archive" "$work/two/$name" || { echo "$name differs between two builds" >&2; failed=1; }
done
entries=$(unzip -Z1 "$work/one/$windows.zip" | tr '\n' ' ')
[[ $entries == "$windows/README.txt $windows/gridshow.exe " ]] ||
    { echo "the Windows archive holds: $entries" >&2; failed=1; }
exit $failed
