#!/usr/bin/env bash
# The Windows executable is one file to copy and run: a GUI-subsystem program
# (no console window) of at most 64 KiB, song included, that imports from
# Windows' own DLLs only and carries its icon, version information and
# manifest.
# Usage: check_executable.sh EXE VERSION
set -euo pipefail

exe=$1
version=$2
if [[ ! -f $exe ]]; then
    echo "$exe is missing: build it with 'make windows' (make test does)" >&2
    exit 77
fi
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
failed=0
problem() {
    echo "$*" >&2
    failed=1
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

size=$(stat -c %s "$exe")
((size <= 32768)) || problem "$size bytes, more than 32768"
grep -qE '^Subsystem\s+00000002\s+\(Windows GUI\)' <<<"$headers" ||
    problem "not a Windows GUI-subsystem program: $(grep '^Subsystem' <<<"$headers")"
# Windows may place it anywhere, with a high address, in memory that runs no
# data: relocatable (relocations not stripped, even where none are needed),
# dynamic base, high-entropy addresses, no-execute data.
! grep -qx $'\trelocations stripped' <<<"$headers" || problem "relocations stripped: no ASLR"
for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
    grep -qE "^\s+$flag\$" <<<"$headers" || problem "lacks the $flag flag"
done
dlls=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers" | sort)
unexpected=$(grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|winmm\.dll|msvcrt\.dll' <<<"$dlls" || true)
[[ -z $unexpected ]] || problem "imports from DLLs beyond Windows' own: $(tr "\n" " " <<<"$unexpected")"

# The icon group: the four sizes, each a PNG image.
check_icon() {
    wrestool -x -t14 "$exe" >"$work/icon.ico" 2>/dev/null || true
    local listing
    listing=$(icotool -l "$work/icon.ico" 2>&1) || true
    local expected='' size index=1
    for size in 16 32 48 256; do
        expected+="--icon --index=$index --width=$size --height=$size --bit-depth=16 --palette-size=0"$'\n'
        wrestool -x -t3 -n$index --raw "$exe" | head -c 8 | cmp -s - <(printf '\x89PNG\r\n\x1a\n') ||
            problem "the $size px icon image is not a PNG"
        index=$((index + 1))
    done
    [[ $listing$'\n' == "$expected" ]] || problem "icon group not as expected: $listing"
}

# Version information: its length field covers the resource, the fixed part
# has its signature and the project's version, and the strings name it.
check_version_info() {
    local raw=$work/version words length strings
    wrestool -x -t16 -n1 --raw "$exe" >"$raw"
    read -r -a words <<<"$(od -A n -t u4 -j 40 -N 16 "$raw")"
    length=$(od -A n -t u2 -N 2 "$raw" | tr -d ' ')
    IFS=. read -r major minor patch <<<"$version"
    [[ $length == "$(stat -c %s "$raw")" ]] || problem "version information: length $length"
    [[ ${words[0]:-} == 4277077181 ]] || problem "version information: no fixed-part signature"
    [[ ${words[2]:-} == $((major << 16 | minor)) && ${words[3]:-} == $((patch << 16)) ]] ||
        problem "version information: file version ${words[2]:-}.${words[3]:-}, not $version"
    strings=$(strings -el "$raw" | tr '\n' '|')
    for pair in "ProductName|gridshow" "FileVersion|$version" "ProductVersion|$version" \
        "OriginalFilename|gridshow.exe" "LegalCopyright|Copyright"; do
        [[ $strings == *"|$pair"* ]] || problem "version information lacks ${pair/|/ = }"
    done
}

# The manifest parses as XML and says what Windows must know.
check_manifest() {
    local manifest=$work/manifest
    wrestool -x -t24 -n1 --raw "$exe" >"$manifest"
    if ! xmllint --noout "$manifest"; then
        problem "the manifest is not well-formed XML"
    else
        xml_value() { xmllint --xpath "string($1)" "$manifest"; }
        [[ $(xml_value "//*[local-name()='dpiAwareness']") == "PerMonitorV2, System" ]] ||
            problem "the manifest does not ask for per-monitor (v2) DPI awareness"
        [[ $(xml_value "//*[local-name()='dpiAware']") == true ]] ||
            problem "the manifest has no system-aware fallback"
        [[ $(xml_value "//*[local-name()='requestedExecutionLevel']/@level") == asInvoker ]] ||
            problem "the manifest does not run the program as its invoker"
        [[ $(xml_value "count(//*[local-name()='supportedOS'])") == 4 ]] ||
            problem "the manifest does not name Windows 7, 8, 8.1 and 10/11"
    fi
}

if x86_64-w64-mingw32-objdump -h "$exe" | grep -q ' \.rsrc '; then
    check_icon
    check_version_info
    check_manifest
else
    problem "no .rsrc section: no icon, version information or manifest"
fi

((failed == 0)) && echo "$exe: $size bytes, Windows GUI, imports from $(tr "\n" " " <<<"$dlls")"
exit $failed
