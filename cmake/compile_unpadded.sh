#!/bin/sh
# Compiles one C++ source for the Windows executable through its assembly.
# GNU as starts and pads every section of a PE object at 16 bytes, and with a
# section per function that is about 1 KB of the program's code; GCC has no
# switch for it, so each section directive asks for byte alignment ("x0",
# "dr0"). The alignment directives inside a section still raise it where data
# needs more, and x86 code needs none.
# Usage: compile_unpadded.sh OBJECT COMPILER ARGUMENTS... (the arguments
# without -c and -o)
set -e
object=$1
compiler=$2
shift 2
"$compiler" "$@" -S -o "$object.s"
sed -i -E 's/^(\s\.section\s+[^,]+,"[a-z]+)"$/\10"/' "$object.s"
"$compiler" -c "$object.s" -o "$object"
rm -f "$object.s"
