#!/usr/bin/env python3
"""Writes the benchmark's large inputs, made at each run and never committed:

  make_large.py SAMPLE.apk OUT_DIR

OUT_DIR/large.apk     the sample package with a stored 200 MB asset
OUT_DIR/splits60.apks the sample as the base of a bundle with 60 splits
                      (5 CPU types, 5 densities, 50 languages)
"""
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "bundles"))
import make_bundles as mb  # noqa: E402

LARGE_BYTES = 200 << 20
LANGUAGES = ("af am ar as az be bg bn bs ca cs da de el en es et eu fa fi fr gl gu hi hr hu hy id "
             "is it iw ja ka kk km kn ko ky lo lt lv mk ml mn mr ms my nb ne nl").split()


def write_large(sample, path):
    with zipfile.ZipFile(sample) as src, zipfile.ZipFile(path + ".tmp", "w") as out:
        for info in src.infolist():
            out.writestr(info, src.read(info.filename))
        with out.open(zipfile.ZipInfo("assets/large.bin"), "w", force_zip64=True) as f:
            chunk = os.urandom(1 << 20)  # stored: each MB differs a little, none compresses
            for i in range(LARGE_BYTES >> 20):
                f.write(i.to_bytes(4, "little") + chunk[4:])
    os.replace(path + ".tmp", path)


def main(sample, out):
    os.makedirs(out, exist_ok=True)
    write_large(sample, os.path.join(out, "large.apk"))
    with open(sample, "rb") as f:
        base = f.read()
    pieces = mb.parts(abis=("armeabi", "armeabi-v7a", "arm64-v8a", "x86", "x86_64"),
                      densities=("ldpi", "mdpi", "hdpi", "xhdpi", "xxhdpi"), languages=LANGUAGES, base=base)
    assert len(pieces) == 61
    with open(os.path.join(out, "splits60.apks"), "wb") as f:
        f.write(mb.build_apks(pieces))
    return 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
