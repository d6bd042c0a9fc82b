#!/usr/bin/env python3
"""Writes the fixed set of bundles the end-to-end tests open, from a real
base package (ApiDemos), into OUT_DIR:

  make_suite.py --aapt AAPT BASE.apk OUT_DIR

sample.apks, .xapk, .apkm   the base without its launcher icon (the entries
                            aapt's badging names), which every density split
                            carries instead; CPU, density and language
                            splits; the .xapk with a 1 MB OBB
nobase.apks                 splits only
mixed.apkm                  one split of another version code
newsdk.xapk                 minimum Android version 30
noabi.apks                  native code for x86 and x86_64 only
slip.xapk, drive.xapk       an OBB install path leaving the OBB folder
dotdot.apks                 an entry named splits/../../evil.apk
bomb.apks                   a part of 64 MiB of zeros (about 1000:1)
liar.apks                   a part declared 1,000 bytes that inflates to 8 MiB
huge.apks                   a part declared 5 GiB (zip64) with little data
many.xapk                   5000 tiny entries beside the parts
notjson.xapk                a manifest.json that is not JSON
encrypted.apkm              random bytes, not a zip
standalone.apks             two whole packages, for x86 and armeabi-v7a
sized.apks                  sample.apks padded to the base package's size,
                            for the benchmark's bundle against package
big.apk                     the base package itself with 16 MiB in all (a
                            stored entry of random bytes added), for the
                            benchmark's install with and without progress
"""
import argparse
import io
import json
import os
import random
import re
import struct
import subprocess
import sys
import zipfile

import make_bundles as mb

ABIS = ("armeabi-v7a", "arm64-v8a", "x86")
DENSITIES = ("hdpi", "xhdpi", "xxhdpi")
LANGUAGES = ("en", "zh", "fr")
SPLIT = "com.example.split"


def icon_entries(aapt, path):
    """The entries aapt's badging names as the application's icons."""
    out = subprocess.run([aapt, "d", "badging", path], capture_output=True, text=True,
                         check=True, timeout=60).stdout
    return sorted(set(re.findall(r"^(?:application-icon-\d+:|application: .*icon=)'([^']+)'",
                                 out, re.M)))


def without(package, names):
    """package with the entries names left out, the others as they were
    (stored ones stay stored)."""
    buf = io.BytesIO()
    with zipfile.ZipFile(io.BytesIO(package)) as src, zipfile.ZipFile(buf, "w") as dst:
        for info in src.infolist():
            if info.filename not in names:
                dst.writestr(info, src.read(info))
    return buf.getvalue()


def entries(bundle):
    with zipfile.ZipFile(io.BytesIO(bundle)) as z:
        return {n: z.read(n) for n in z.namelist()}


def edited(bundle, changes):
    """bundle with the entries of changes ({name: bytes}) replaced or added."""
    out = entries(bundle)
    out.update(changes)
    return mb.zip_bytes(out)


def with_expansion_path(xapk, path):
    files = entries(xapk)
    info = json.loads(files["manifest.json"])
    info["expansions"][0]["install_path"] = path
    return edited(xapk, {"manifest.json": json.dumps(info, indent=1).encode()})


def declared(files, name, size):
    """A zip of files whose entry name declares size bytes uncompressed in
    both its headers, whatever it holds (zip64 fields above 4 GiB)."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for n, data in files.items():
            if n != name:
                z.writestr(n, data)
                continue
            info = zipfile.ZipInfo(n, (2020, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            with z.open(info, "w", force_zip64=size > 0xFFFFFFFF) as f:
                f.write(data)
            info.file_size = size  # the central directory is written from it at close
    data = bytearray(buf.getvalue())
    off = info.header_offset
    if size > 0xFFFFFFFF:  # both sizes in the local zip64 extra (after its tag and length)
        name_len = struct.unpack_from("<H", data, off + 26)[0]
        struct.pack_into("<II", data, off + 18, 0xFFFFFFFF, 0xFFFFFFFF)
        struct.pack_into("<Q", data, off + 30 + name_len + 4, size)
    else:
        struct.pack_into("<I", data, off + 22, size)
    return bytes(data)


def padded(pieces, package, version, size):
    """An .apks of pieces whose English split carries stored random bytes,
    so that the whole is size bytes, give or take a few."""
    pad = 0
    for _ in range(3):
        extra = {"assets/padding.bin": random.Random(size).randbytes(pad)}
        bundle = mb.build_apks(dict(pieces, en=mb.apk(package, "config.en", version, extra=extra)))
        pad = max(0, pad + size - len(bundle))
    return bundle


def grown(package, size):
    """package with a stored entry of random bytes added, size bytes in all
    (give or take the entry's headers); its other entries stay as they were."""
    buf = io.BytesIO(package)
    with zipfile.ZipFile(buf, "a") as z:
        z.writestr("assets/padding.bin", random.Random(size).randbytes(max(0, size - len(package) - 200)))
    return buf.getvalue()


def build(aapt, base_path, out):
    with open(base_path, "rb") as f:
        real = f.read()
    icons = icon_entries(aapt, base_path)
    package, version = mb.identity(real)
    with zipfile.ZipFile(io.BytesIO(real)) as z:
        icon_data = {n: z.read(n) for n in icons}
    sample = mb.parts(abis=ABIS, densities=DENSITIES, languages=LANGUAGES,
                      base=without(real, set(icons)))
    for d in DENSITIES:
        sample[d] = mb.apk(package, "config." + d, version, extra=icon_data)
    small = mb.parts(SPLIT)
    mixed = dict(small, en=mb.apk(SPLIT, "config.en", version_code=2))
    small_xapk = mb.build_xapk(small, SPLIT)
    small_apks = entries(mb.build_apks(small))
    rnd = random.Random(7)
    bundles = {
        "sample.apks": mb.build_apks(sample),
        "sample.xapk": mb.build_xapk(sample, package, version, 17, obb_size=1 << 20),
        "sample.apkm": mb.build_apkm(sample, package, version, 17),
        "nobase.apks": mb.build_apks({k: v for k, v in small.items() if k != "base"}),
        "mixed.apkm": mb.build_apkm(mixed, SPLIT),
        "newsdk.xapk": mb.build_xapk(mb.parts(SPLIT, min_sdk=30), SPLIT, min_sdk=30),
        "noabi.apks": mb.build_apks(mb.parts(SPLIT, abis=("x86", "x86_64"))),
        "slip.xapk": with_expansion_path(small_xapk, "../../../evil.obb"),
        "drive.xapk": with_expansion_path(small_xapk, "C:/Windows/evil.obb"),
        "dotdot.apks": mb.zip_bytes(dict(small_apks, **{"splits/../../evil.apk": small["en"]})),
        "bomb.apks": mb.zip_bytes(dict(small_apks, **{"splits/base-xxhdpi.apk": bytes(64 << 20)})),
        "liar.apks": declared(dict(small_apks, **{"splits/base-xxhdpi.apk": bytes(8 << 20)}),
                              "splits/base-xxhdpi.apk", 1000),
        "huge.apks": declared(small_apks, "splits/base-xxhdpi.apk", 5 << 30),
        "many.xapk": edited(small_xapk, {"filler/%04d.txt" % i: b"x" for i in range(5000)}),
        "notjson.xapk": edited(small_xapk, {
            "manifest.json": b'{"package_name": "com.example.split", broken'}),
        "encrypted.apkm": rnd.randbytes(64 << 10),
        "standalone.apks": mb.zip_bytes({"toc.pb": b"", **{
            "standalones/standalone-%s.apk" % abi.replace("-", "_"):
                mb.apk(SPLIT, extra={"lib/%s/libsample.so" % abi: b"\x7fELF" + bytes(60)})
            for abi in ("x86", "armeabi-v7a")}}),
        "sized.apks": padded(sample, package, version, len(real)),
        "big.apk": grown(real, 16 << 20),
    }
    os.makedirs(out, exist_ok=True)
    for name, data in bundles.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    return icons


def main(argv=None):
    p = argparse.ArgumentParser(description="Writes the test bundles of the end-to-end tests.")
    p.add_argument("--aapt", required=True, help="aapt, to find the base's icon entries")
    p.add_argument("base")
    p.add_argument("out")
    a = p.parse_args(argv)
    build(a.aapt, a.base, a.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
