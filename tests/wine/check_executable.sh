#!/usr/bin/env bash
# The Windows executable is one file to copy and run: a GUI-subsystem program
# (no console window) of at most 64 KiB, song included, that imports from
# Windows' own DLLs only.
# Usage: check_executable.sh EXE
set -euo pipefail

exe=$1
if [[ ! -f $exe ]]; then
    echo "$exe is missing: build it with 'make windows' (make test does)" >&2
    exit 77
fi
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
failed=0

size=$(stat -c %s "$exe")
if ((size > 65536)); then
    echo "$size bytes, more than 65536" >&2
    failed=1
fi
if ! grep -qE '^Subsystem\s+00000002\s+\(Windows GUI\)' <<<"$headers"; then
    echo "not a Windows GUI-subsystem program:" >&2
    grep '^Subsystem' <<<"$headers" >&2 || true
    failed=1
fi
dlls=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers" | sort)
unexpected=$(grep -vxE 'kernel32\.dll|user32\.dll|gdi32\.dll|winmm\.dll|msvcrt\.dll' <<<"$dlls" || true)
if [[ -n $unexpected ]]; then
    echo "imports from DLLs beyond Windows' own: $(tr "\n" " " <<<"$unexpected")" >&2
    failed=1
fi
((failed == 0)) && echo "$exe: $size bytes, Windows GUI, imports from $(tr "\n" " " <<<"$dlls")"
exit $failed
