#!/usr/bin/env bash
# The LV2 bundle as the LV2 tools see it once installed: the schema checker
# finds no error or warning in it, lv2info lists every port by its panel name
# and range, the 128 presets and the state interface, and lv2bench runs it.
set -euo pipefail
root=$1 build=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
bundle="$prefix/lib/lv2/Vorzle.lv2"
export LV2_PATH="$prefix/lib/lv2"
uri=urn:harvane:vorzle

report=$(lv2_validate "$bundle"/*.ttl 2>&1 | grep -v '^Skipping')
echo "$report" | grep -q '^Found 0 errors' && ! echo "$report" | grep -Eq '^(error|warning)' ||
  { echo "FAIL: lv2_validate:"; echo "$report"; exit 1; }

info=$(lv2info "$uri")
fail() { echo "FAIL: lv2info: $1"; echo "$info" | head -40; exit 1; }
[ "$(echo "$info" | grep -c '^	Port [0-9]*:')" = 81 ] || fail "not 81 ports"
echo "$info" | grep -q 'Extension Data: *http://lv2plug.in/ns/ext/state#interface' || fail "no state interface"
presets=$(echo "$info" | sed -n '/^	Presets:/,/^	Port 0:/p' | sed '1d;$d' | grep -c '[^[:space:]]')
[ "$presets" = 128 ] || fail "$presets presets, not 128"
# Name, symbol, range and default (program 0's value) of a few ports, as a host lists them.
for expected in "Symbol: *cutoff|Name: *Cutoff|Minimum: *0.000000|Maximum: *1.000000|Default: *0.481001" \
                "Symbol: *osc2_pitch|Name: *Osc 2 Pitch|Default: *0.506999" \
                "Symbol: *polyphony|Name: *Polyphony|Minimum: *1.000000|Maximum: *64.000000|Default: *64.000000"; do
  symbol=$(echo "$expected" | cut -d'|' -f1)
  block=$(echo "$info" | awk -v s="$symbol" 'BEGIN{RS="\n\n"} $0 ~ s && $0 ~ /InputPort/')
  IFS='|' read -ra fields <<<"$expected"
  for field in "${fields[@]}"; do
    echo "$block" | grep -Eq "$field" || fail "port $symbol lacks $field"
  done
done
[ "$(echo "$info" | grep -c 'Name: *---')" = 0 ] || fail "a port named ---"

bench=$(lv2bench "$uri" 2>&1) && echo "$bench" | grep -q "$uri" || { echo "FAIL: lv2bench: $bench"; exit 1; }
echo "lv2_validate clean, 81 ports, 128 presets, state interface; lv2bench: $bench"
