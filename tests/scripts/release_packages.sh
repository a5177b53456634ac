#!/usr/bin/env bash
# The release packages: scripts/package.sh names them with the project
# version and fills them as the install text says; packaging the same builds
# again from copies with other dates, modes and creation order gives the same
# bytes; and the plug-in loads and plays from each unpacked package (the
# 32-bit and 64-bit DLLs through their own vorzle-render.exe under Wine, the
# Linux one through vorzle-render; the LV2 bundle through lv2info) and plays the demo song: both Windows DLLs
# to the same bytes, the Linux one to the same samples.
# Runs in the 64-bit Windows tree, whose Wine prefix runs both kinds of
# Windows program; needs the win32 and native trees built too.
set -euo pipefail
root=$1
build=$2
builds=$(dirname "$build")
python3=/usr/bin/python3
fail() { echo "FAIL: $*"; exit 1; }
for tree in win32 win64 native; do
  [ -f "$builds/$tree/CMakeCache.txt" ] || fail "$builds/$tree is not built (scripts/build.sh builds all three trees)"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$builds/native/CMakeCache.txt")
[[ "$version" =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "project version '$version' is not MAJOR.MINOR.PATCH"
windows=Vorzle-$version-windows
linux=Vorzle-$version-linux-x86_64
epoch=1700000000   # 2023-11-14 22:13:20 UTC
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

SOURCE_DATE_EPOCH=$epoch bash "$root/scripts/package.sh" --no-build first >/dev/null
[ "$(ls first)" = "$(printf '%s\n' "$linux.tar.gz" "$windows.zip")" ] || fail "package.sh wrote: $(ls first)"

# The same inputs as copies dated otherwise, with other modes, made in reverse order.
for tree in native win64 win32; do
  mkdir -p "copies/$tree"
  for file in $(ls -r "$builds/$tree/bin"); do
    case "$file" in Vorzle.dll|Vorzle.so|vorzle-render|vorzle-render.exe) ;; *) continue ;; esac
    cp "$builds/$tree/bin/$file" "copies/$tree/$file"
    chmod 700 "copies/$tree/$file"
    touch -d "2001-02-03 04:05:06" "copies/$tree/$file"
  done
done
mkdir copies/Vorzle.lv2
for file in $(ls -r "$builds/native/lv2/Vorzle.lv2"); do
  cp "$builds/native/lv2/Vorzle.lv2/$file" copies/Vorzle.lv2/ && chmod 600 "copies/Vorzle.lv2/$file"
done
cp -r "$root/build/web" copies/web && chmod 600 copies/web/*
for file in docs/install.txt LICENSE CHANGELOG.md; do tr -d '\r' < "$root/$file" > "copies/${file##*/}"; done
cp "$builds/native/bin/Vorzle-factory.fxb" copies/factory.fxb
vst3_modules="win32/vst3/Vorzle.vst3/Contents/x86-win/Vorzle.vst3 win64/vst3/Vorzle.vst3/Contents/x86_64-win/Vorzle.vst3
              native/vst3/Vorzle.vst3/Contents/x86_64-linux/Vorzle.so"
for module in $vst3_modules; do
  mkdir -p "copies/$(dirname "$module")" && cp "$builds/$module" "copies/$module" && chmod 600 "copies/$module"
done
"$python3" "$root/scripts/make_packages.py" --version "$version" --epoch $epoch --out second \
  --win32 copies/win32 --win64 copies/win64 --linux copies/native --lv2 copies/Vorzle.lv2 --web copies/web \
  --install copies/install.txt --license copies/LICENSE --changelog copies/CHANGELOG.md --bank copies/factory.fxb \
  --vst3-win32 copies/win32/vst3/Vorzle.vst3/Contents/x86-win/Vorzle.vst3 \
  --vst3-win64 copies/win64/vst3/Vorzle.vst3/Contents/x86_64-win/Vorzle.vst3 \
  --vst3-linux copies/native/vst3/Vorzle.vst3/Contents/x86_64-linux/Vorzle.so >/dev/null
for package in "$windows.zip" "$linux.tar.gz"; do
  cmp "first/$package" "second/$package" || fail "$package differs when packaged again"
done
echo "packaged twice: identical $windows.zip ($(stat -c %s "first/$windows.zip") bytes), $linux.tar.gz ($(stat -c %s "first/$linux.tar.gz") bytes)"

# Entries, their order, dates and modes, and what is inside them.
"$python3" - first "$windows" "$linux" $epoch "$builds" "$root" <<'EOF'
import os, sys, tarfile, time, zipfile
first, windows, linux, epoch, builds, root = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5], sys.argv[6]
# What a user reads first: the file, the words it must hold.
texts = {"INSTALL": [b"x64\\Vorzle.dll", b"Command Prompt", b"Vorzle-factory.fxb", b"~/.vst", b"Ardour",
                     b"http.server", b"73"],
         "LICENSE": [b"MIT License", b"Copyright (c) 2026 Harvane"],
         "CHANGELOG": [b"## 2.1.0"]}
def check_texts(read, names):
    for stem, words in texts.items():
        data = read(names[stem])
        missing = [w for w in words if w not in data]
        assert not missing, "%s lacks %s" % (names[stem], missing)
bank = open(os.path.join(builds, "native", "bin", "Vorzle-factory.fxb"), "rb").read()
assert bank[:4] == b"CcnK" and bank[8:12] == b"FBCh" and bank[16:20] == b"Trlx", bank[:20]
site = sorted(n for n in os.listdir(os.path.join(root, "build", "web")))
assert "index.html" in site and "vorzle.wasm" in site, site
def same_bytes(data, path):
    with open(path, "rb") as f:
        assert data == f.read(), "%s differs from the build's file" % path
with zipfile.ZipFile(os.path.join(first, windows + ".zip")) as z:
    names = z.namelist()
    vst3 = "Vorzle.vst3/Contents/"
    want = [windows + "/" + n for n in ("", "Vorzle.vst3/", vst3, vst3 + "x86-win/", vst3 + "x86_64-win/", "x64/", "x86/",
                                           "INSTALL.txt", "LICENSE.txt", "CHANGELOG.txt",
                                           "Vorzle-factory.fxb", "x64/Vorzle.dll", "x64/vorzle-render.exe",
                                           "x86/Vorzle.dll", "x86/vorzle-render.exe",
                                           vst3 + "x86-win/Vorzle.vst3", vst3 + "x86_64-win/Vorzle.vst3")]
    assert names == want, names
    for info in z.infolist():
        assert info.date_time == time.gmtime(epoch)[:6], (info.filename, info.date_time)
    for arch, tree in (("x64", "win64"), ("x86", "win32")):
        for name in ("Vorzle.dll", "vorzle-render.exe"):
            same_bytes(z.read(windows + "/%s/%s" % (arch, name)), os.path.join(builds, tree, "bin", name))
    for arch, tree in (("x86_64-win", "win64"), ("x86-win", "win32")):
        module = vst3 + arch + "/Vorzle.vst3"
        same_bytes(z.read(windows + "/" + module), os.path.join(builds, tree, "vst3", module))
    assert b"\r\n" in z.read(windows + "/INSTALL.txt") and z.read(windows + "/Vorzle-factory.fxb") == bank
    check_texts(lambda n: z.read(windows + "/" + n), {"INSTALL": "INSTALL.txt", "LICENSE": "LICENSE.txt",
                                                      "CHANGELOG": "CHANGELOG.txt"})
with tarfile.open(os.path.join(first, linux + ".tar.gz")) as t:
    members = t.getmembers()
    bundle = sorted(os.listdir(os.path.join(builds, "native", "lv2", "Vorzle.lv2")))
    assert "vorzle_dsp.so" in bundle and "manifest.ttl" in bundle, bundle
    lv2 = ["Vorzle.lv2"] + ["Vorzle.lv2/" + n for n in bundle]
    vst3 = ["Vorzle.vst3", "Vorzle.vst3/Contents", "Vorzle.vst3/Contents/x86_64-linux",
            "Vorzle.vst3/Contents/x86_64-linux/Vorzle.so"]
    assert [m.name for m in members] == [linux] + [linux + "/" + n for n in
        ["INSTALL.txt", "LICENSE", "CHANGELOG.md", "Vorzle-factory.fxb"] + lv2 + vst3 + ["Vorzle.so", "vorzle-render"] +
        ["web"] + ["web/" + n for n in site]], [m.name for m in members]
    assert t.extractfile(linux + "/Vorzle-factory.fxb").read() == bank
    same_bytes(t.extractfile(linux + "/" + vst3[-1]).read(), os.path.join(builds, "native", "vst3", vst3[-1]))
    check_texts(lambda n: t.extractfile(linux + "/" + n).read(), {"INSTALL": "INSTALL.txt", "LICENSE": "LICENSE",
                                                                  "CHANGELOG": "CHANGELOG.md"})
    for name in site:
        same_bytes(t.extractfile(linux + "/web/" + name).read(), os.path.join(root, "build", "web", name))
    for m in members:
        assert (m.mtime, m.uid, m.gid) == (epoch, 0, 0), (m.name, m.mtime, m.uid)
    modes = {m.name.split("/")[-1]: m.mode for m in members if "Vorzle.vst3" not in m.name}
    assert modes["vorzle-render"] == 0o755 and modes["Vorzle.so"] == 0o644 and modes["INSTALL.txt"] == 0o644, modes
    for name in ("Vorzle.so", "vorzle-render"):
        same_bytes(t.extractfile(linux + "/" + name).read(), os.path.join(builds, "native", "bin", name))
    for name in bundle:
        assert modes[name] == 0o644, (name, modes[name])
        same_bytes(t.extractfile(linux + "/Vorzle.lv2/" + name).read(), os.path.join(builds, "native", "lv2", "Vorzle.lv2", name))
print("entries, dates, modes and contents as expected")
EOF

# Unpacked, each plug-in loads beside its renderer and plays the same song.
mkdir unpacked
"$python3" -m zipfile -e "first/$windows.zip" unpacked
tar -xzf "first/$linux.tar.gz" -C unpacked
cp "$root/tools/render/float_wav.py" .
for kind in x86 x64 linux; do
  case $kind in
  linux) run=(unpacked/$linux/vorzle-render) ;;
  *) run=(wine "unpacked/$windows/$kind/vorzle-render.exe") ;;
  esac
  got=$("${run[@]}" --version </dev/null | tr -d '\r')
  [ "$(head -n1 <<<"$got")" = "vorzle-render $version" ] && grep -q "MIT licence" <<<"$got" ||
    fail "$kind: --version printed '$got', the project is $version under the MIT licence"
  "${run[@]}" --info </dev/null | tr -d '\r' > info-$kind.txt
  grep -qx "name: Vorzle" info-$kind.txt && grep -qx "vendor: Harvane" info-$kind.txt ||
    { cat info-$kind.txt; fail "$kind: the unpacked plug-in did not load as Vorzle by Harvane"; }
  "${run[@]}" "$root/examples/demo.mid" -o $kind.wav --quiet </dev/null
done
lv2=$(LV2_PATH="$PWD/unpacked/$linux" lv2info urn:harvane:vorzle 2>/dev/null || true)
grep -q "Name: *Vorzle" <<<"$lv2" || fail "lv2info does not find Vorzle in the unpacked Vorzle.lv2"
cmp x86.wav x64.wav || fail "the 32-bit and 64-bit DLLs rendered the demo differently"
"$python3" - <<'EOF'
from float_wav import read_float_wav
windows, linux = read_float_wav("x64.wav")[1], read_float_wav("linux.wav")[1]
assert max(abs(x) for x in windows) > 0.01, "silent render"
assert len(windows) == len(linux), (len(windows), len(linux))
worst = max(abs(a - b) for a, b in zip(windows, linux))
assert windows == linux, "the Windows and Linux packages differ by up to %g" % worst
print("x86, x64 and linux plug-ins from the packages: Vorzle by Harvane; the demo, %d samples, "
      "the same bytes from x86 and x64, the same samples from linux" % len(windows))
EOF
