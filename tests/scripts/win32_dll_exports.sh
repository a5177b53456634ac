#!/usr/bin/env bash
# The plug-in DLL exports exactly one name, main, and imports nothing but
# Windows system DLLs (the C and C++ runtimes are linked in statically); it is
# an image for the tree's architecture (WINEARCH: win32 or win64).
set -euo pipefail
build=$2
dll="$build/bin/Vorzle.dll"
objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")
case "${WINEARCH:-win32}" in
win32) format=pei-i386 ;;
win64) format=pei-x86-64 ;;
*) echo "FAIL: unknown WINEARCH '$WINEARCH'"; exit 1 ;;
esac
dump=$("$objdump" -p "$dll")

exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | tail -n +2 | sed -E 's/^\s*\[\s*[0-9]+\]\s*//' | sed '/^$/d')
if [ "$exports" != "main" ]; then
  echo "FAIL: export table is not exactly 'main':"; printf '%s\n' "$exports"; exit 1
fi

allowed='^(KERNEL32|USER32|GDI32|COMCTL32|msvcrt|ADVAPI32)\.dll$'
imports=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p')
[ -n "$imports" ] || { echo "FAIL: no import table found"; exit 1; }
bad=$(printf '%s\n' "$imports" | grep -viE "$allowed" || true)
if [ -n "$bad" ]; then
  echo "FAIL: imports beyond the Windows system DLLs:"; printf '%s\n' "$bad"; exit 1
fi
grep -q "file format $format\$" <<<"$dump" || { echo "FAIL: not a $format image: $(grep -m1 'file format' <<<"$dump")"; exit 1; }
echo "$format; exports: $exports; imports: $(echo $imports)"
