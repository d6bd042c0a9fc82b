#!/usr/bin/env python3
"""Writes Davrel's portable zip for Windows users (scripts/package.sh calls it).

The texts are kept in resources/dist as UTF-8 with LF line ends and shipped as
UTF-8 with a byte-order mark and CRLF line ends: Notepad on every Windows since
XP opens that correctly, whatever the system code page, where GBK would show
the Chinese as garbage on a Windows set to another language. zipfile marks the
non-ASCII name 使用说明.txt as UTF-8 (flag bit 11), which Explorer honours.
"""
import argparse
import os
import pathlib
import time
import zipfile

DIST = pathlib.Path(__file__).resolve().parent.parent / "resources" / "dist"
APACHE_LICENSE = pathlib.Path("/usr/share/common-licenses/Apache-2.0")  # Debian's copy


def notepad_text(path):
    text = path.read_text(encoding="utf-8").replace("\r\n", "\n")
    return ("\ufeff" + text.replace("\n", "\r\n")).encode("utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", type=pathlib.Path, required=True, help="the 32-bit Davrel.exe")
    parser.add_argument("--aapt", type=pathlib.Path, required=True, help="aaptjs's bin/win32/aapt.exe")
    parser.add_argument("--out", type=pathlib.Path, required=True, help="the zip to write")
    args = parser.parse_args()

    entries = [
        ("Davrel/Davrel.exe", args.exe.read_bytes(), 0o755),
        ("Davrel/使用说明.txt", notepad_text(DIST / "使用说明.txt"), 0o644),
        ("Davrel/data/README.txt", notepad_text(DIST / "README.txt"), 0o644),
        ("Davrel/data/aapt.exe", args.aapt.read_bytes(), 0o755),
        ("Davrel/data/NOTICE.txt", notepad_text(DIST / "NOTICE.txt"), 0o644),
        ("Davrel/data/LICENSE-aapt.txt", notepad_text(APACHE_LICENSE), 0o644),
    ]
    now = time.localtime()[:6]
    partial = args.out.with_name(args.out.name + ".part")  # no half-written zip under the real name
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for name, data, mode in entries:
            info = zipfile.ZipInfo(name, date_time=now)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = mode << 16
            archive.writestr(info, data)
    os.replace(partial, args.out)


if __name__ == "__main__":
    main()
