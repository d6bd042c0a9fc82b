#!/usr/bin/env python3
"""Checks the portable zip that scripts/package.sh writes: its files, the
shipped Davrel.exe (32-bit GUI program, system DLLs only, project version) and
the texts Notepad must show (UTF-8 with byte-order mark, CRLF, Chinese first).
Arguments: zip, project version, objdump."""
import pathlib, subprocess, sys, tempfile, zipfile
import pefile

zip_path, version, objdump = sys.argv[1:4]
src = pathlib.Path(__file__).resolve().parent.parent
program_texts = "".join((src / f).read_text("utf-8") for f in ("resources/Davrel.rc", "app/DavrelDlgTexts.h"))

if not pathlib.Path(zip_path).is_file():
    sys.exit(f"{zip_path} is missing: scripts/package.sh (or scripts/test.sh) writes it")
archive = zipfile.ZipFile(zip_path)
names = sorted(i.filename for i in archive.infolist())
assert names == sorted(["Davrel/Davrel.exe", "Davrel/使用说明.txt", "Davrel/data/aapt.exe",
                        "Davrel/data/README.txt", "Davrel/data/NOTICE.txt", "Davrel/data/LICENSE-aapt.txt"]), names
assert archive.getinfo("Davrel/使用说明.txt").flag_bits & 0x800, "Explorer needs the UTF-8 name flag"

with tempfile.TemporaryDirectory() as tmp:
    exe = archive.extract("Davrel/Davrel.exe", tmp)
    pe = pefile.PE(exe)
    header = (pe.FILE_HEADER.Machine, pe.OPTIONAL_HEADER.Magic, pe.OPTIONAL_HEADER.Subsystem)
    assert header == (0x14C, 0x10B, 2), f"not a PE32 i386 GUI program: {header}"
    subprocess.run(["cmake", f"-DOBJDUMP={objdump}", f"-DEXE={exe}", "-P", src / "tests/check_imports.cmake"],
                   check=True)
fixed = pe.VS_FIXEDFILEINFO[0]
for ms, ls in ((fixed.FileVersionMS, fixed.FileVersionLS), (fixed.ProductVersionMS, fixed.ProductVersionLS)):
    assert f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}" == version + ".0", (ms, ls)
strings = {k: v for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
           for table in info.StringTable for k, v in table.entries.items()}
assert strings[b"FileVersion"] == strings[b"ProductVersion"] == version.encode(), strings

def notepad_text(name):
    data = archive.read(name)
    assert data.startswith(b"\xef\xbb\xbf") and data.count(b"\n") == data.count(b"\r\n") > 0, name
    return data.decode("utf-8")

readme = notepad_text("Davrel/data/README.txt")
for word in ("adb.exe", "AdbWinApi.dll", "AdbWinUsbApi.dll", "Platform-Tools", "ADB调试", "允许", "NOTICE.txt"):
    assert word in readme, word
assert readme.index("允许") < readme.index("Davrel data folder"), "Chinese comes first"
guide = notepad_text("Davrel/使用说明.txt")
for label in ("请输入电视IP地址", "连接设备", "电视连接良好", "选择APK文件", "安装路径", "软件安装完成", "卸载", "关联本程序"):
    assert label in guide and label in program_texts, f"{label}: not in the guide, or not the program's own text"
assert "aaptjs 1.3.2" in notepad_text("Davrel/data/NOTICE.txt")
assert "Apache License" in notepad_text("Davrel/data/LICENSE-aapt.txt")
print(f"{zip_path}: {len(names)} files, {pathlib.Path(zip_path).stat().st_size} bytes")
