#!/usr/bin/env python3
"""Writes the two release archives from finished builds:

  Vorzle-VERSION-windows.zip         Vorzle-VERSION-windows/{INSTALL.txt, LICENSE.txt,
                                     CHANGELOG.txt, Vorzle-factory.fxb, x86/, x64/,
                                     Vorzle.vst3/Contents/{x86-win,x86_64-win}/Vorzle.vst3}
                                     with Vorzle.dll and vorzle-render.exe in x86/ and x64/
  Vorzle-VERSION-linux-x86_64.tar.gz Vorzle-VERSION-linux-x86_64/{INSTALL.txt, LICENSE,
                                     CHANGELOG.md, Vorzle-factory.fxb, Vorzle.lv2/,
                                     Vorzle.vst3/Contents/x86_64-linux/Vorzle.so,
                                     Vorzle.so, vorzle-render, web/}

The archives depend on the files' contents only: every entry has the same
timestamp (--epoch, seconds since 1970), owner, mode by kind and a fixed
order, so the same inputs give the same bytes.

  make_packages.py --version V --win32 DIR --win64 DIR --linux DIR
                   --lv2 BUNDLE_DIR --web SITE_DIR --install FILE --license FILE
                   --changelog FILE --bank FXB --vst3-win32 FILE --vst3-win64 FILE
                   --vst3-linux FILE --epoch SECONDS --out DIR
"""
import argparse
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile

EXECUTABLE = 0o755
PLAIN = 0o644


def windows_entries(args):
    """(path in the archive, source file, mode, text) in archive order."""
    entries = [("INSTALL.txt", args.install, PLAIN, True), ("LICENSE.txt", args.license, PLAIN, True),
               ("CHANGELOG.txt", args.changelog, PLAIN, True), ("Vorzle-factory.fxb", args.bank, PLAIN, False)]
    for folder, bin_dir in (("x64", args.win64), ("x86", args.win32)):
        entries.append((folder + "/Vorzle.dll", os.path.join(bin_dir, "Vorzle.dll"), EXECUTABLE, False))
        entries.append((folder + "/vorzle-render.exe", os.path.join(bin_dir, "vorzle-render.exe"), EXECUTABLE, False))
    # One VST 3 bundle holds both Windows modules, as hosts expect.
    for arch, module in (("x86-win", args.vst3_win32), ("x86_64-win", args.vst3_win64)):
        entries.append(("Vorzle.vst3/Contents/%s/Vorzle.vst3" % arch, module, EXECUTABLE, False))
    return entries


def folder_entries(folder, source):
    """A folder's files whole, in name order."""
    return [(folder + "/" + name, os.path.join(source, name), PLAIN, False)
            for name in sorted(os.listdir(source)) if os.path.isfile(os.path.join(source, name))]


def linux_entries(args):
    return [("INSTALL.txt", args.install, PLAIN, True), ("LICENSE", args.license, PLAIN, True),
            ("CHANGELOG.md", args.changelog, PLAIN, True), ("Vorzle-factory.fxb", args.bank, PLAIN, False)] + \
        folder_entries("Vorzle.lv2", args.lv2) + [
            ("Vorzle.vst3/Contents/x86_64-linux/Vorzle.so", args.vst3_linux, PLAIN, False),
            ("Vorzle.so", os.path.join(args.linux, "Vorzle.so"), PLAIN, False),
            ("vorzle-render", os.path.join(args.linux, "vorzle-render"), EXECUTABLE, False)] + \
        folder_entries("web", args.web)


def read(path, windows_text=False):
    with open(path, "rb") as f:
        data = f.read()
    if windows_text:   # Notepad of older Windows shows a bare LF as nothing
        data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    return data


def write_zip(path, top, entries, epoch):
    # Zip stores local broken-down time with 2-second steps, from 1980 on.
    stamp = time.gmtime(max(epoch, 315532800))
    date_time = (stamp.tm_year, stamp.tm_mon, stamp.tm_mday, stamp.tm_hour, stamp.tm_min, stamp.tm_sec & ~1)
    folders = sorted({top + "/"} | {top + "/" + "/".join(name.split("/")[:depth]) + "/"
                                    for name, *_ in entries for depth in range(1, name.count("/") + 1)})
    with zipfile.ZipFile(path, "w") as archive:
        def add(name, data, mode):
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = 3   # Unix, so that the mode below is kept
            info.external_attr = ((0o040000 if name.endswith("/") else 0o100000) | mode) << 16
            info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)
        for folder in folders:
            add(folder, b"", EXECUTABLE)
        for name, source, mode, text in entries:
            add(top + "/" + name, read(source, windows_text=text), mode)


def write_tar_gz(path, top, entries, epoch):
    buffer = io.BytesIO()
    with tarfile.open(fileobj=buffer, mode="w", format=tarfile.PAX_FORMAT) as archive:
        def add(name, data, mode, kind=tarfile.REGTYPE):
            info = tarfile.TarInfo(name)
            info.type, info.mode, info.mtime, info.size = kind, mode, epoch, len(data)
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            archive.addfile(info, io.BytesIO(data) if data else None)
        add(top, b"", EXECUTABLE, tarfile.DIRTYPE)
        folders = set()
        for name, source, mode, _ in entries:
            for depth in range(1, name.count("/") + 1):   # each folder once, before what it holds
                folder = "/".join(name.split("/")[:depth])
                if folder not in folders:
                    folders.add(folder)
                    add(top + "/" + folder, b"", EXECUTABLE, tarfile.DIRTYPE)
            add(top + "/" + name, read(source), mode)
    # No file name and a fixed time in the gzip header.
    with open(path, "wb") as f, gzip.GzipFile(filename="", mode="wb", fileobj=f, mtime=epoch, compresslevel=9) as z:
        z.write(buffer.getvalue())


def main():
    parser = argparse.ArgumentParser(description="Write Vorzle's release archives.")
    for name in ("--version", "--win32", "--win64", "--linux", "--lv2", "--web", "--install", "--license",
                 "--changelog", "--bank", "--vst3-win32", "--vst3-win64", "--vst3-linux", "--out"):
        parser.add_argument(name, required=True)
    parser.add_argument("--epoch", type=int, required=True, help="timestamp of every entry, seconds since 1970")
    args = parser.parse_args()

    for folder in (args.lv2, args.web):
        if not os.path.isdir(folder):
            print("make_packages: missing: " + folder, file=sys.stderr)
            return 1
    missing = [source for _, source, *_ in windows_entries(args) + linux_entries(args) if not os.path.isfile(source)]
    if missing:
        print("make_packages: missing: " + ", ".join(missing), file=sys.stderr)
        return 1
    os.makedirs(args.out, exist_ok=True)
    windows = "Vorzle-%s-windows" % args.version
    linux = "Vorzle-%s-linux-x86_64" % args.version
    write_zip(os.path.join(args.out, windows + ".zip"), windows, windows_entries(args), args.epoch)
    write_tar_gz(os.path.join(args.out, linux + ".tar.gz"), linux, linux_entries(args), args.epoch)
    for name in (windows + ".zip", linux + ".tar.gz"):
        print("%s (%d bytes)" % (os.path.join(args.out, name), os.path.getsize(os.path.join(args.out, name))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
