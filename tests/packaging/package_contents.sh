#!/usr/bin/env bash
# The Debian package holds the two programs and what a desktop needs of
# them, nothing for tests or development; its desktop entry is valid and
# lintian finds no error.
# Usage: package_contents.sh BUILD_DIR VERSION
set -euo pipefail

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=build_package.sh
source "$(dirname "$0")/build_package.sh"
build_package "$1" "$2" "$work"
failed=0

expected=./usr/bin/gridshow
expected+=$'\n'./usr/bin/modrender
expected+=$'\n'./usr/share/applications/gridshow.desktop
expected+=$'\n'./usr/share/doc/gridshow/changelog.gz
expected+=$'\n'./usr/share/doc/gridshow/copyright
for size in 128 16 256 32 48 64; do
    expected+=$'\n'./usr/share/icons/hicolor/${size}x$size/apps/gridshow.png
done
expected+=$'\n'./usr/share/man/man1/modrender.1.gz
expected+=$'\n'./usr/share/man/man6/gridshow.6.gz
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)
if [[ $files != "$expected" ]]; then
    echo "package contents differ from the list:" >&2
    diff <(echo "$expected") <(echo "$files") >&2 || true
    failed=1
fi

depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libsdl2-2.0-0* ]] || { echo "no SDL2 runtime in Depends: $depends" >&2; failed=1; }

dpkg-deb -x "$deb" "$work/root"
for size in 16 32 48 64 128 256; do
    found=$(identify -format '%wx%h' "$work/root/usr/share/icons/hicolor/${size}x$size/apps/gridshow.png")
    [[ $found == "${size}x$size" ]] || { echo "the ${size}x$size icon is $found" >&2; failed=1; }
done
desktop-file-validate "$work/root/usr/share/applications/gridshow.desktop" || failed=1

# Warnings may stay; errors may not. lintian refuses nothing for running as root.
lint=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[[ -n $lint ]] && echo "$lint"
if grep -q '^E:' <<<"$lint"; then
    echo "lintian reports errors" >&2
    failed=1
fi
exit $failed
