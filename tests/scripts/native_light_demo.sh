#!/usr/bin/env bash
# The quick demo (scripts/run-demo.sh) on a machine that has only the light
# package set: its tree configures without the test libraries, everything its
# plug-in and renderer compile against comes from the light set (the headers
# in this tree's dependency files, by the packages that own them), and the
# demo and the bank tour render through this tree's build.
set -euo pipefail
root=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

mapfile -t light < <(bash "$root/scripts/setup.sh" --list light)
mapfile -t full < <(bash "$root/scripts/setup.sh" --list full)
for p in "${light[@]}"; do
  printf '%s\n' "${full[@]}" | grep -qx "$p" || fail "$p is in the light set but not in the full one"
done

# A light tree configures without GoogleTest and lilv and still offers the demo's targets.
cmake -S "$root" -B "$work/light" -DVORZLE_TESTS=OFF >/dev/null
! grep -v '^//' "$work/light/CMakeCache.txt" | grep -qi "gtest\|lilv" || fail "the light tree looks for the test libraries"
targets=$(cmake --build "$work/light" --target help)
for t in vorzle_vst vorzle-render; do grep -qw "$t" <<<"$targets" || fail "the light tree has no $t"; done

# The system headers the demo's objects read, by package, within the light set and what it pulls in.
# The objects of the plug-in module's layers and the renderer's, no other front end's.
demo_dirs='/(vorzle_(programs|engine|instrument|editor|vst2|vst|song)|vsthost|render_support|vorzle-render)\.dir/'
mapfile -t headers < <(find "$build/CMakeFiles" -name '*.o.d' | grep -E "$demo_dirs" | xargs cat | tr ' \\' '\n\n' | grep '^/usr/' | xargs -r realpath -q | sort -u)
[ ${#headers[@]} -gt 50 ] || fail "only ${#headers[@]} system headers found in $build's dependency files"
owners=$(dpkg -S "${headers[@]}" 2>/dev/null | sed 's/: .*//; s/, /\n/g; s/:amd64//g' | sort -u)
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
  --no-enhances "${light[@]}" 2>/dev/null | grep -v '^ ' | sed 's/:amd64$//' | sort -u)
outside=$(comm -23 <(printf '%s\n' "$owners") <(printf '%s\n' "$closure"))
[ -z "$outside" ] || fail "the demo's build reads headers of packages outside the light set: $outside"

VORZLE_DEMO_TREE=$build VORZLE_DEMO_OUT=$work bash "$root/scripts/run-demo.sh" --quiet >"$work/said.txt" 2>&1 ||
  { cat "$work/said.txt"; fail "run-demo.sh failed"; }
for wav in demo bank-tour; do
  [ "$(head -c 4 "$work/$wav.wav")" = RIFF ] && [ "$(stat -c %s "$work/$wav.wav")" -gt 1000000 ] ||
    fail "no $wav.wav: $(cat "$work/said.txt")"
done
echo "light set ${light[*]}: a light tree configures; the demo's ${#headers[@]} system headers come from" \
  "$(wc -w <<<"$owners") packages it pulls in; the demo and the bank tour render"
