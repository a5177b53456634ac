#!/usr/bin/env bash
# The Linux plug-in as hosts see it: its only exported symbol is the entry
# point (nothing of ours can bind to a host's function of the same name), and
# it needs no library a Linux desktop lacks.
set -euo pipefail
build=$2
module="$build/bin/Vorzle.so"
exports=$(nm -D --defined-only "$module" | awk '{print $3}')
[ "$exports" = "VSTPluginMain" ] || { echo "FAIL: $module exports: $exports"; exit 1; }
needed=$(objdump -p "$module" | awk '/NEEDED/ {print $2}' | sort | tr '\n' ' ')
for library in $needed; do
  case $library in
    libX11.so.6|libXau.so.6|libstdc++.so.6|libm.so.6|libgcc_s.so.1|libc.so.6) ;;
    *) echo "FAIL: $module needs $library"; exit 1 ;;
  esac
done
echo "exports VSTPluginMain only; needs $needed"
