#!/usr/bin/env python3
"""Builds split packages and the bundles that carry them, for tests: a base
package plus CPU, density and language splits, each a real zip with a
compiled AndroidManifest.xml (the split's name in its `split` attribute, as
bundletool writes it), put together as .apks, .xapk and .apkm.

  make_bundles.py OUT_DIR [--package NAME] [--version-code N] [--min-sdk N]
                  [--abis armeabi-v7a,arm64-v8a] [--densities hdpi,xxhdpi]
                  [--languages en,zh] [--base PACKAGE.apk]

writes OUT_DIR/<package>.apks, .xapk (with one OBB) and .apkm, and the loose
parts under OUT_DIR/parts/. No Android SDK is needed: the binary XML is
written here. The generated packages carry no resource table, so aapt shows
no label or icon for them; --base takes a real package (ApiDemos) as the
base instead, and the splits take its package name and version code.
"""
import argparse
import io
import json
import os
import struct
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "simtv"))
import apkmanifest  # noqa: E402

ANDROID_NS = "http://schemas.android.com/apk/res/android"
# android.R.attr ids of the attributes written here.
ATTR_IDS = {"label": 0x01010001, "name": 0x01010003, "hasCode": 0x0101000C,
            "minSdkVersion": 0x0101020C, "versionCode": 0x0101021B,
            "versionName": 0x0101021C, "targetSdkVersion": 0x01010270}
TYPE_STRING, TYPE_INT_DEC, TYPE_INT_BOOLEAN = 0x03, 0x10, 0x12
# CPU split config names (as bundletool writes them) and their ABIs.
ABIS = {"armeabi": "armeabi", "armeabi_v7a": "armeabi-v7a", "arm64_v8a": "arm64-v8a",
        "x86": "x86", "x86_64": "x86_64"}
NO_INDEX = 0xFFFFFFFF


def _chunk(ctype, header, body):
    """A chunk: type, header size, total size, then the rest of the header
    and the body."""
    return struct.pack("<HHI", ctype, 8 + len(header), 8 + len(header) + len(body)) + header + body


def compile_xml(root):
    """Compiled (binary) XML of an element tree. An element is (name,
    attributes, children); an attribute is (name, value) with value str,
    int or bool; names listed in ATTR_IDS are android: attributes."""
    android = sorted({a for _, attrs, _ in _walk(root) for a, _ in attrs if a in ATTR_IDS},
                     key=ATTR_IDS.get)
    # Attribute names with a resource id come first, in the resource map's order.
    strings = list(android) + ["android", ANDROID_NS]

    def index(s):
        if s not in strings:
            strings.append(s)
        return strings.index(s)

    nodes = []
    for name, attrs, children in _walk(root, events=True):
        if attrs is None:
            nodes.append(_chunk(0x0103, struct.pack("<II", 1, NO_INDEX),
                                struct.pack("<II", NO_INDEX, index(name))))
            continue
        body = b""
        for aname, value in sorted(attrs, key=lambda a: ATTR_IDS.get(a[0], 0x7FFFFFFF)):
            ns = index(ANDROID_NS) if aname in ATTR_IDS else NO_INDEX
            if isinstance(value, bool):
                raw, vtype, data = NO_INDEX, TYPE_INT_BOOLEAN, NO_INDEX if value else 0
            elif isinstance(value, int):
                raw, vtype, data = NO_INDEX, TYPE_INT_DEC, value
            else:
                raw = data = index(value)
                vtype = TYPE_STRING
            body += struct.pack("<IIIHBBI", ns, index(aname), raw, 8, 0, vtype, data)
        ext = struct.pack("<IIHHHHHH", NO_INDEX, index(name), 20, 20, len(attrs), 0, 0, 0)
        nodes.append(_chunk(0x0102, struct.pack("<II", 1, NO_INDEX), ext + body))
    ns_body = struct.pack("<II", index("android"), index(ANDROID_NS))
    nodes = ([_chunk(0x0100, struct.pack("<II", 1, NO_INDEX), ns_body)] + nodes +
             [_chunk(0x0101, struct.pack("<II", 1, NO_INDEX), ns_body)])
    # String pool in UTF-16: length, characters, a zero character.
    data, offsets = b"", []
    for s in strings:
        offsets.append(len(data))
        data += struct.pack("<H", len(s)) + s.encode("utf-16-le") + b"\0\0"
    data += b"\0" * (-len(data) % 4)
    pool = _chunk(0x0001, struct.pack("<IIIII", len(strings), 0, 0, 28 + 4 * len(strings), 0),
                  struct.pack("<%dI" % len(strings), *offsets) + data)
    resmap = _chunk(0x0180, b"", struct.pack("<%dI" % len(android), *map(ATTR_IDS.get, android)))
    return _chunk(0x0003, b"", pool + resmap + b"".join(nodes))


def _walk(element, events=False):
    """Elements in document order; with events, also (name, None, None)
    where each one ends."""
    name, attrs, children = element
    yield name, attrs, children
    for child in children:
        yield from _walk(child, events)
    if events:
        yield name, None, None


def manifest(package, version_code=1, split=None, min_sdk=21, label="Split Sample"):
    """The compiled AndroidManifest.xml of a base package, or of a
    configuration split when split names it ("config.xxhdpi")."""
    attrs = [("package", package), ("versionCode", version_code),
             ("versionName", "1.%d" % version_code)]
    if split:
        return compile_xml(("manifest", attrs + [("split", split)],
                            [("application", [("hasCode", False)], [])]))
    activity = ("activity", [("name", ".Main")], [("intent-filter", [], [
        ("action", [("name", "android.intent.action.MAIN")], []),
        ("category", [("name", "android.intent.category.LAUNCHER")], [])])])
    return compile_xml(("manifest", attrs, [
        ("uses-sdk", [("minSdkVersion", min_sdk), ("targetSdkVersion", 28)], []),
        ("uses-permission", [("name", "android.permission.INTERNET")], []),
        ("application", [("label", label)], [activity])]))


def zip_bytes(entries):
    """A zip of {name: bytes}, names kept as given (a test's hostile ones too)."""
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries.items():
            z.writestr(name, data)
    return buf.getvalue()


def apk(package, split=None, version_code=1, min_sdk=21, padding=0, extra=None):
    """One package: the base (split None) or the split named split. A CPU
    split holds lib/<abi>/, a density split res/drawable-<density>/;
    padding adds that many stored random-looking bytes, extra {name: bytes}
    more entries."""
    entries = {"AndroidManifest.xml": manifest(package, version_code, split, min_sdk)}
    config = (split or "").replace("config.", "")
    if split is None:
        entries["classes.dex"] = b"dex\n035\0" + bytes(32)
    elif config in ABIS:
        entries["lib/%s/libsample.so" % ABIS[config]] = b"\x7fELF" + bytes(60)
    elif config.endswith("dpi"):
        entries["res/drawable-%s-v4/sample.png" % config] = b"\x89PNG\r\n\x1a\n"
    if padding:
        entries["assets/padding.bin"] = os.urandom(padding)
    entries.update(extra or {})
    return zip_bytes(entries)


def identity(package_bytes):
    """(package name, version code) of a package."""
    with zipfile.ZipFile(io.BytesIO(package_bytes)) as z:
        attrs = apkmanifest.manifest_attributes(z.read("AndroidManifest.xml"))
    return attrs["package"], int(attrs["versionCode"])


def parts(package="com.example.split", version_code=1, min_sdk=21,
          abis=("armeabi-v7a", "arm64-v8a"), densities=("hdpi", "xxhdpi"),
          languages=("en", "zh"), base=None):
    """{split config name or "base": package bytes}; config names are as
    bundletool writes them (armeabi_v7a, xxhdpi, en). base: the bytes of a
    real base package, whose name and version code the splits then take."""
    if base is not None:
        package, version_code = identity(base)
    out = {"base": base or apk(package, None, version_code, min_sdk)}
    for config in [a.replace("-", "_") for a in abis] + list(densities) + list(languages):
        out[config] = apk(package, "config." + config, version_code, min_sdk)
    return out


def build_apks(pieces):
    entries = {"toc.pb": b""}
    for config, data in pieces.items():
        entries["splits/base-%s.apk" % ("master" if config == "base" else config)] = data
    return zip_bytes(entries)


def build_xapk(pieces, package, version_code=1, min_sdk=21, obb_size=4096):
    obb = "Android/obb/%s/main.%d.%s.obb" % (package, version_code, package)
    splits, entries = [], {}
    for config, data in pieces.items():
        name = package + ".apk" if config == "base" else "config.%s.apk" % config
        splits.append({"file": name, "id": "base" if config == "base" else "config." + config})
        entries[name] = data
    entries[obb] = os.urandom(obb_size)
    # Field types vary among the tools that write these: strings here.
    entries["manifest.json"] = json.dumps({
        "xapk_version": 2, "package_name": package, "name": "Split Sample",
        "version_code": str(version_code), "version_name": "1.%d" % version_code,
        "min_sdk_version": str(min_sdk), "target_sdk_version": "28",
        "split_configs": [s["id"] for s in splits if s["id"] != "base"],
        "total_size": sum(len(d) for d in entries.values()),
        "split_apks": splits,
        "expansions": [{"file": obb, "install_location": "EXTERNAL_STORAGE",
                        "install_path": obb}]}, indent=1).encode()
    return zip_bytes(entries)


def build_apkm(pieces, package, version_code=1, min_sdk=21):
    entries = {("base.apk" if config == "base" else "split_config.%s.apk" % config): data
               for config, data in pieces.items()}
    entries["info.json"] = json.dumps({
        "apkm_version": 5, "app_name": "Split Sample", "pname": package,
        "release_version": "1.%d" % version_code, "versioncode": version_code,
        "min_api": min_sdk, "arches": [ABIS[c] for c in pieces if c in ABIS]}).encode()
    return zip_bytes(entries)


def main(argv=None):
    p = argparse.ArgumentParser(description="Builds test bundles of split packages.")
    p.add_argument("out")
    p.add_argument("--package", default="com.example.split")
    p.add_argument("--version-code", type=int, default=1)
    p.add_argument("--min-sdk", type=int, default=21)
    p.add_argument("--abis", default="armeabi-v7a,arm64-v8a")
    p.add_argument("--densities", default="hdpi,xxhdpi")
    p.add_argument("--languages", default="en,zh")
    p.add_argument("--base", help="a real package to use as the base")
    a = p.parse_args(argv)
    base = None
    if a.base:
        with open(a.base, "rb") as f:
            base = f.read()
        a.package, a.version_code = identity(base)

    def listed(text):
        return [x for x in text.split(",") if x]
    pieces = parts(a.package, a.version_code, a.min_sdk, listed(a.abis),
                   listed(a.densities), listed(a.languages), base)
    os.makedirs(os.path.join(a.out, "parts"), exist_ok=True)
    for config, data in pieces.items():
        with open(os.path.join(a.out, "parts", config + ".apk"), "wb") as f:
            f.write(data)
    for ext, data in (("apks", build_apks(pieces)),
                      ("xapk", build_xapk(pieces, a.package, a.version_code, a.min_sdk)),
                      ("apkm", build_apkm(pieces, a.package, a.version_code, a.min_sdk))):
        with open(os.path.join(a.out, "%s.%s" % (a.package, ext)), "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
