#!/usr/bin/env bash
# Debian has no mingw build of libebur128, so the Windows renderers get one
# made here from Debian's own source package (its upstream tarball; the
# packaging beside it is not needed), cross-built as a static library for both
# mingw targets and cached under build/deps. A private sources list and lists
# folder leave the system's apt configuration alone. Safe to run again.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/build/deps"
done_all=true
for triple in i686-w64-mingw32 x86_64-w64-mingw32; do
  [ -f "$deps/libebur128-$triple/lib/libebur128.a" ] || done_all=false
done
$done_all && exit 0

apt_dir="$deps/apt"
mkdir -p "$apt_dir/lists/partial" "$deps/src"
echo "deb-src http://deb.debian.org/debian bookworm main" > "$apt_dir/sources.list"
apt_opts=(-o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
          -o Dir::State::Lists="$apt_dir/lists" -o Debug::NoDropPrivs=true)
tarball=$(ls "$deps"/src/libebur128_*.orig.tar.gz 2>/dev/null | head -n 1 || true)
if [ -z "$tarball" ]; then
  apt-get "${apt_opts[@]}" update -qq
  # The Debian packaging tarball has been missing from the mirror; only the upstream one is used.
  (cd "$deps/src" && apt-get "${apt_opts[@]}" source --download-only libebur128 >/dev/null 2>&1 || true)
  tarball=$(ls "$deps"/src/libebur128_*.orig.tar.gz 2>/dev/null | head -n 1 || true)
  [ -n "$tarball" ] || { echo "setup: could not fetch libebur128's source" >&2; exit 1; }
fi
source="$deps/src/$(tar tzf "$tarball" | sed -n "1s|/.*||p")"
rm -rf "$source"
tar xzf "$tarball" -C "$deps/src"
for triple in i686-w64-mingw32 x86_64-w64-mingw32; do
  processor=${triple%%-*}
  flags="-ffp-contract=off"
  [ "$processor" = i686 ] && flags="$flags -msse2 -mfpmath=sse"
  cmake -S "$source" -B "$deps/build-$triple" -DCMAKE_SYSTEM_NAME=Windows \
        -DCMAKE_C_COMPILER="$triple-gcc-posix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_C_FLAGS="$flags" -DCMAKE_INSTALL_PREFIX="$deps/libebur128-$triple" >/dev/null
  cmake --build "$deps/build-$triple" -j "$(nproc)" >/dev/null
  cmake --install "$deps/build-$triple" >/dev/null
done
