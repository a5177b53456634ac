# Sourced by the renderer's script tests: ROOT and BUILD from the arguments,
# a work folder removed on exit with the float WAV reader in it, and the
# ok/fail tally.
root=$1
build=$2
exe="$build/bin/vorzle-render"
python3=/usr/bin/python3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$root/tools/render/float_wav.py" .
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok   $*"; }
