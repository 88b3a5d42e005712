#!/usr/bin/env bash
# Writes the release archives into OUT (default dist/), the same bytes each
# time from the same commit:
#   gridshow-VERSION-windows-x64.zip  the executable and its README.txt
#   gridshow_VERSION_amd64.deb        the Debian package
#   gridshow-VERSION-web.zip          the browser build, once build-web/bin has one
# Expects build/ and build-windows/ to be built; `make dist` builds them first.
# Usage: packaging/make-dist.sh [OUT]
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/dist}")
# Every time stamp in the archives is the last commit's.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$root/build/CPackConfig.cmake")
exe=$root/build-windows/bin/gridshow.exe
readme=$root/build-windows/packaging/windows/README.txt
for needed in "$exe" "$readme"; do
    [[ -f $needed ]] || { echo "make-dist: $needed is missing: run 'make windows'" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# zip_folder NAME: $work/NAME/ as $out/NAME.zip, its files in a fixed
# order with fixed times and modes, without owners or extra fields.
zip_folder() {
    local name=$1
    find "$work/$name" -type f -exec chmod 644 {} +
    find "$work/$name" -type f -name '*.exe' -exec chmod 755 {} +
    find "$work/$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    rm -f "$out/$name.zip"
    (cd "$work" && find "$name" -type f | sort | zip -X -q -9 "$out/$name.zip" -@)
    echo "$out/$name.zip"
}

windows=gridshow-$version-windows-x64
mkdir "$work/$windows"
cp "$exe" "$readme" "$work/$windows/"
zip_folder "$windows"

cpack --config "$root/build/CPackConfig.cmake" -B "$work/package" >/dev/null
cp "$work/package/gridshow_${version}_amd64.deb" "$out/"
echo "$out/gridshow_${version}_amd64.deb"

# The browser build: the page and what it loads, when make web has built it.
if [[ -d $root/build-web/bin ]]; then
    web=gridshow-$version-web
    mkdir "$work/$web"
    find "$root/build-web/bin" -maxdepth 1 -type f \
        \( -name '*.html' -o -name '*.js' -o -name '*.wasm' -o -name '*.data' \) \
        -exec cp {} "$work/$web/" \;
    zip_folder "$web"
fi
