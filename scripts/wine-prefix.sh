#!/usr/bin/env bash
# Starts or stops the quiet Wine prefix the Windows-side tests run in.
#   wine-prefix.sh start PREFIX   prime the prefix, keep one wineserver alive
#   wine-prefix.sh stop PREFIX    shut that prefix's wineserver down
set -euo pipefail
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # never offer to install Mono or Gecko

case "$action" in
start)
  mkdir -p "$WINEPREFIX"
  # Everything Wine starts inherits our stdio; keep it off ctest's pipes.
  wineserver -p </dev/null >/dev/null 2>&1
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
  echo "usage: $0 start|stop PREFIX" >&2
  exit 2
  ;;
esac
