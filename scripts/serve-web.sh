#!/usr/bin/env bash
# Builds the web page (build/web) and serves it on 127.0.0.1; prints the
# address to open. Stop it with Ctrl-C.
#   ./scripts/serve-web.sh [PORT]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
port=${1:-8000}
"$root/scripts/build-web.sh" >/dev/null
echo "Vorzle in your browser: http://127.0.0.1:$port/"
exec python3 -m http.server --bind 127.0.0.1 --directory "$root/build/web" "$port"
