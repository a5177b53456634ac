#!/usr/bin/env bash
# Starts or stops the quiet Wine prefix the Windows-side tests run in. Each
# Windows build has its own prefix: win32 for the 32-bit programs, win64 for
# the 64-bit ones (a win64 prefix runs 32-bit programs too, a win32 one cannot
# run 64-bit programs).
#   wine-prefix.sh start PREFIX [win32|win64]   prime the prefix, keep one wineserver alive
#   wine-prefix.sh stop PREFIX                  shut that prefix's wineserver down
# The architecture defaults to $WINEARCH, else win32.
set -euo pipefail
action=${1:-}
export WINEPREFIX=${2:-}
arch=${3:-${WINEARCH:-win32}}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # never offer to install Mono or Gecko

usage() {
  echo "usage: $0 start PREFIX [win32|win64] | stop PREFIX" >&2
  exit 2
}
[ -n "$WINEPREFIX" ] || usage

case "$action" in
start)
  case "$arch" in win32|win64) ;; *) usage ;; esac
  export WINEARCH=$arch
  # With 64-bit Wine installed, a prefix made without WINEARCH is win64. One
  # of the other kind inside this checkout (a build tree's) is made again;
  # any other is left alone.
  made=""
  [ -f "$WINEPREFIX/system.reg" ] && made=$(sed -n 's/^#arch=//p' "$WINEPREFIX/system.reg" | head -n 1)
  if [ -n "$made" ] && [ "$made" != "$arch" ]; then
    root=$(cd "$(dirname "$0")/.." && pwd)
    case "$(realpath "$WINEPREFIX")" in
    "$root"/*)
      echo "wine-prefix: $WINEPREFIX is a $made prefix; making it again for $arch" >&2
      wineserver -k </dev/null >/dev/null 2>&1 || true
      rm -rf "$WINEPREFIX"
      ;;
    *)
      echo "wine-prefix: $WINEPREFIX is a $made prefix, not $arch; give another path" >&2
      exit 1
      ;;
    esac
  fi
  mkdir -p "$WINEPREFIX"
  # Everything Wine starts inherits our stdio; keep it off ctest's pipes. A
  # server still running for this prefix (an interrupted run, a tool started
  # by hand) refuses -p: the tests then use that one.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine wineboot -i </dev/null >/dev/null 2>&1 || true
  # A crash must fail a test instead of waiting on a dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  # Debian's Wine does not read its own font folder: copy the real MS Sans Serif in.
  fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
  exit 0
  ;;
stop)
  wineserver -k </dev/null >/dev/null 2>&1 || true
  ;;
*)
  usage
  ;;
esac
