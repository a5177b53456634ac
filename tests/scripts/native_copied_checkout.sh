#!/usr/bin/env bash
# A checkout copied with its build trees (cp -a, a backup restored elsewhere)
# still builds and packages: CMake refuses a tree configured in another place,
# so the scripts start such a tree afresh and leave trees made in place alone.
#   native_copied_checkout.sh SOURCE_DIR BINARY_DIR
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/first"
tar -C "$source_dir" --exclude=./build --exclude=./.git --exclude=./dist -cf - . | tar -C "$work/first" -xf -
"$work/first/scripts/configure-tree.sh" "$work/first/build/native" >/dev/null
cp -a "$work/first" "$work/second"

configure() {   # checkout; prints what the script said
  "$work/$1/scripts/configure-tree.sh" "$work/$1/build/native" 2>&1 >/dev/null
}
said=$(configure second) || { echo "the copied tree does not configure: $said"; exit 1; }
[[ "$said" == *"was configured in $work/first/build/native: building it afresh"* ]] ||
  { echo "no word of the fresh start: '$said'"; exit 1; }
grep -qx "CMAKE_CACHEFILE_DIR:INTERNAL=$work/second/build/native" "$work/second/build/native/CMakeCache.txt" ||
  { echo "the copied tree still points elsewhere"; exit 1; }
# Now in its own place, the tree is kept as it is.
said=$(configure second) && [ -z "$said" ] || { echo "a tree in place was not kept: '$said'"; exit 1; }
echo "a copied checkout's build tree is configured afresh; trees in place are kept"
