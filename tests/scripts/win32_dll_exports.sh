#!/usr/bin/env bash
# The plug-in DLL exports exactly one name, main, and imports nothing but
# Windows system DLLs (the C and C++ runtimes are linked in statically).
set -euo pipefail
dll="$2/bin/Vorzle.dll"
dump=$(i686-w64-mingw32-objdump -p "$dll")

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
grep -q 'file format pei-i386' <<<"$dump" || { echo "FAIL: not a 32-bit x86 image"; exit 1; }
echo "exports: $exports; imports: $(echo $imports)"
