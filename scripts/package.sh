#!/usr/bin/env bash
# Builds everything, then writes the release packages into dist/ (or OUTDIR):
#   Vorzle-VERSION-windows.zip          x64\ and x86\ Vorzle.dll and vorzle-render.exe,
#                                       Vorzle.vst3\ (both Windows modules),
#                                       Vorzle-factory.fxb, INSTALL.txt, LICENSE.txt, CHANGELOG.txt
#   Vorzle-VERSION-linux-x86_64.tar.gz  Vorzle.lv2/, Vorzle.vst3/, Vorzle.so, vorzle-render, the web page web/,
#                                       Vorzle-factory.fxb, INSTALL.txt, LICENSE, CHANGELOG.md
# VERSION is the project version of CMakeLists.txt. The archives are
# reproducible: every entry is dated SOURCE_DATE_EPOCH, or else the last
# commit's time, so packaging the same builds twice gives the same bytes.
#   scripts/package.sh [--no-build] [OUTDIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=yes
if [ "${1:-}" = --no-build ]; then build=no; shift; fi
out=${1:-$root/dist}

[ "$build" = no ] || "$root/scripts/build.sh"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/native/CMakeCache.txt" 2>/dev/null || true)
[ -n "$version" ] || { echo "package: no project version in build/native; build first (scripts/build.sh)" >&2; exit 1; }
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}

/usr/bin/python3 "$root/scripts/make_packages.py" --version "$version" --epoch "$epoch" \
  --win32 "$root/build/win32/bin" --win64 "$root/build/win64/bin" --linux "$root/build/native/bin" \
  --lv2 "$root/build/native/lv2/Vorzle.lv2" --web "$root/build/web" \
  --bank "$root/build/native/bin/Vorzle-factory.fxb" --install "$root/docs/install.txt" \
  --license "$root/LICENSE" --changelog "$root/CHANGELOG.md" \
  --vst3-win32 "$root/build/win32/vst3/Vorzle.vst3/Contents/x86-win/Vorzle.vst3" \
  --vst3-win64 "$root/build/win64/vst3/Vorzle.vst3/Contents/x86_64-win/Vorzle.vst3" \
  --vst3-linux "$root/build/native/vst3/Vorzle.vst3/Contents/x86_64-linux/Vorzle.so" --out "$out"
