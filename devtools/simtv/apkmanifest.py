"""Reads the package name out of an .apk's compiled AndroidManifest.xml, the
way the TV's package manager learns what it is installing."""
import io
import struct
import zipfile

RES_STRING_POOL = 0x0001
RES_XML_START_ELEMENT = 0x0102
UTF8_FLAG = 0x100
TYPE_STRING = 0x03
TYPE_INT_DEC, TYPE_INT_HEX = 0x10, 0x11


def _string_pool(data, start):
    (_t, _hs, _size, count, _styles, flags, strings_start,
     _styles_start) = struct.unpack_from("<HHIIIIII", data, start)
    offsets = struct.unpack_from("<%dI" % count, data, start + 28)
    base = start + strings_start
    utf8 = bool(flags & UTF8_FLAG)
    strings = []
    for off in offsets:
        pos = base + off
        if utf8:
            # UTF-16 length, then UTF-8 length, each one or two bytes.
            for _ in range(2):
                n = data[pos]
                pos += 1
                if n & 0x80:
                    n = ((n & 0x7F) << 8) | data[pos]
                    pos += 1
            strings.append(data[pos:pos + n].decode("utf-8", "replace"))
        else:
            n = struct.unpack_from("<H", data, pos)[0]
            pos += 2
            if n & 0x8000:
                n = ((n & 0x7FFF) << 16) | struct.unpack_from("<H", data, pos)[0]
                pos += 2
            strings.append(data[pos:pos + 2 * n].decode("utf-16-le", "replace"))
    return strings


def manifest_attributes(xml):
    """Attributes of the <manifest> element as a dict of name -> string
    (string and integer values, integers in decimal). Raises ValueError for
    malformed input."""
    try:
        if struct.unpack_from("<H", xml, 0)[0] != 0x0003:
            raise ValueError("not a compiled XML file")
        pos = struct.unpack_from("<H", xml, 2)[0]
        strings = []
        while pos + 8 <= len(xml):
            ctype, header_size, size = struct.unpack_from("<HHI", xml, pos)
            if size < 8:
                raise ValueError("bad chunk size")
            if ctype == RES_STRING_POOL:
                strings = _string_pool(xml, pos)
            elif ctype == RES_XML_START_ELEMENT:
                ext = pos + header_size
                _ns, name, attr_start, attr_size, attr_count = struct.unpack_from(
                    "<IIHHH", xml, ext)
                if strings[name] == "manifest":
                    attrs = {}
                    for i in range(attr_count):
                        a = ext + attr_start + i * attr_size
                        _ans, aname, raw, _vs, _r0, vtype, vdata = struct.unpack_from(
                            "<IIIHBBI", xml, a)
                        if raw != 0xFFFFFFFF:
                            attrs[strings[aname]] = strings[raw]
                        elif vtype == TYPE_STRING:
                            attrs[strings[aname]] = strings[vdata]
                        elif vtype in (TYPE_INT_DEC, TYPE_INT_HEX):
                            attrs[strings[aname]] = str(vdata)
                    return attrs
            pos += size
    except (struct.error, IndexError) as err:
        raise ValueError("malformed manifest: %s" % err)
    raise ValueError("no manifest element")


def attributes(apk_bytes):
    """The <manifest> attributes of a package (package, versionCode,
    versionName...), or {} when the bytes are not a readable package."""
    try:
        with zipfile.ZipFile(io.BytesIO(apk_bytes)) as apk:
            xml = apk.read("AndroidManifest.xml")
        return manifest_attributes(xml)
    except (zipfile.BadZipFile, KeyError, ValueError, OSError, RuntimeError):
        return {}


def package_name(apk_bytes):
    """The package name, or None when the bytes are not a readable package."""
    return attributes(apk_bytes).get("package") or None
