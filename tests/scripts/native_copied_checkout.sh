#!/usr/bin/env bash
# A checkout copied with its build trees still builds and packages: CMake
# refuses a tree configured in another place, so the scripts start such a tree
# afresh, and leave a tree in its own place as it is.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/first"
tar -C "$1" --exclude=./build --exclude=./.git --exclude=./dist -cf - . | tar -C "$work/first" -xf -
"$work/first/scripts/configure-tree.sh" "$work/first/build/native" >/dev/null
cp -a "$work/first" "$work/second"
configure() { "$work/second/scripts/configure-tree.sh" "$work/second/build/native" 2>&1 >/dev/null; }
said=$(configure) && [[ "$said" == *"configured in $work/first/build/native: building it afresh"* ]] ||
  { echo "the copied tree: '$said'"; exit 1; }
said=$(configure) && [ -z "$said" ] || { echo "a tree in its own place was not kept: '$said'"; exit 1; }
echo "a copied checkout's build tree is configured afresh; trees in place are kept"
