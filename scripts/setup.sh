#!/usr/bin/env bash
# Installs what Vorzle needs on Debian 12, once, in two sets:
#   scripts/setup.sh           everything the build and the tests need
#   scripts/setup.sh --light   only what the native Linux plug-in and renderer
#                              need (the quick demo, scripts/run-demo.sh)
#   scripts/setup.sh --python  the light set and what the Python module needs
#                              to build and install with pip, and its batch
#                              renderer on Dask
#   scripts/setup.sh --list light|python|full   print a set's packages, one a line
# The full set adds the 32-bit and 64-bit mingw cross compilers (posix
# threads), Wine for 32-bit and 64-bit programs, Xvfb, the XTest extension the
# panel's tests drive it with, the native test and benchmark libraries, the
# artwork generator's Python imaging library, numpy and sox for measuring and
# recording the factory sounds (tools/sounds), ffmpeg to measure the
# renderer's loudness independently in its tests and libebur128 cross-built
# for the Windows renderers (build-ebur128-mingw.sh), clang with its sanitizer and
# libFuzzer runtimes for the fuzz targets, and the 32-bit LMMS with its
# Wine-side VST server as a third-party host for the Windows DLL (only the
# i386 LMMS has the VeSTige instrument; it replaces an amd64 lmms), Ardour,
# driven headless through its Lua tool, for the Linux plug-ins, for the web
# page emscripten, Chromium, Node.js and the pinned puppeteer-core that drives
# the browser in its test (npm ci from tests/web/package-lock.json), and for
# the LV2 plug-in its headers, lilv with its tools and the description checker
# (with sordi). Safe to run again: it skips apt and npm when everything is there.
set -euo pipefail

# The native build of the plug-in and the renderer: the compiler, CMake, the
# X11 library the Linux panel draws with and libebur128 for the renderer's
# loudness.
light_packages=(cmake make g++ libx11-dev libebur128-dev)
# The Python module: headers, pybind11, numpy, the venv and pip it installs
# with, Dask distributed for the batch, pytest for its tests.
python_packages=(python3-dev python3-numpy python3-pybind11 pybind11-dev python3-distributed python3-venv
                 python3-pip python3-setuptools python3-pytest)
full_packages=("${light_packages[@]}" "${python_packages[@]}" lv2-dev liblilv-dev lilv-utils sordi ardour
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine32:i386 wine64 xvfb xauth fonts-wine
          googletest libbenchmark-dev libxtst-dev python3 python3-pil python3-numpy fonts-dejavu-core
          amsynth sox clang-14 libclang-rt-14-dev ffmpeg
          lmms:i386 lmms-vst-server:i386
          emscripten chromium)

set_name=full
case "${1:-}" in
  --light) set_name=light ;;
  --python) set_name=python ;;
  --list)
    case "${2:-}" in
      light) printf '%s\n' "${light_packages[@]}" ;;
      python) printf '%s\n' "${light_packages[@]}" "${python_packages[@]}" ;;
      full) printf '%s\n' "${full_packages[@]}" ;;
      *) echo "usage: setup.sh --list light|python|full" >&2; exit 2 ;;
    esac
    exit 0 ;;
  "") ;;
  *) echo "usage: setup.sh [--light | --python | --list light|python|full]" >&2; exit 2 ;;
esac
case $set_name in
  light) packages=("${light_packages[@]}") ;;
  python) packages=("${light_packages[@]}" "${python_packages[@]}") ;;
  *) packages=("${full_packages[@]}") ;;
esac

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$set_name" = full ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
  as_root apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "$set_name" = full ] || exit 0

# Node.js from Debian unless a newer one is already there.
if ! command -v npm >/dev/null 2>&1; then
  as_root apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends nodejs npm >/dev/null
fi
web_test="$(cd "$(dirname "$0")/.." && pwd)/tests/web"
if ! cmp -s "$web_test/package-lock.json" "$web_test/node_modules/.installed-lock.json"; then
  (cd "$web_test" && npm ci --no-audit --no-fund --loglevel=error &&
   cp package-lock.json node_modules/.installed-lock.json)
fi

# libebur128 for the Windows renderers, from Debian's source package.
"$(cd "$(dirname "$0")" && pwd)/build-ebur128-mingw.sh"
