"""The ADB transport as a device speaks it: 24-byte message headers, the
connect banner and the sync sub-protocol used by file pushes."""
import struct

A_CNXN = 0x4E584E43
A_AUTH = 0x48545541
A_OPEN = 0x4E45504F
A_OKAY = 0x59414B4F
A_CLSE = 0x45534C43
A_WRTE = 0x45545257

NAMES = {A_CNXN: "CNXN", A_AUTH: "AUTH", A_OPEN: "OPEN", A_OKAY: "OKAY",
         A_CLSE: "CLSE", A_WRTE: "WRTE"}

# An older device: payload checksums on, small payloads.
VERSION_OLD = 0x01000000
MAX_PAYLOAD_OLD = 4096
# Nothing in a host message comes near this; a larger length means garbage.
MAX_ACCEPTED_PAYLOAD = 1024 * 1024

AUTH_TOKEN = 1
AUTH_SIGNATURE = 2
AUTH_RSAPUBLICKEY = 3

HEADER = struct.Struct("<6I")


class ProtocolError(Exception):
    pass


def checksum(data):
    return sum(data) & 0xFFFFFFFF


def pack(command, arg0, arg1, payload=b""):
    return HEADER.pack(command, arg0, arg1, len(payload), checksum(payload),
                       command ^ 0xFFFFFFFF) + payload


def recv_exact(sock, count):
    """Reads exactly count bytes; None when the peer closed first."""
    chunks = []
    while count:
        chunk = sock.recv(min(count, 65536))
        if not chunk:
            return None
        chunks.append(chunk)
        count -= len(chunk)
    return b"".join(chunks)


def read_message(sock):
    """Returns (command, arg0, arg1, payload), or None at end of stream."""
    header = recv_exact(sock, HEADER.size)
    if header is None:
        return None
    command, arg0, arg1, length, _check, magic = HEADER.unpack(header)
    if magic != command ^ 0xFFFFFFFF:
        raise ProtocolError("bad magic for command 0x%08x" % command)
    if length > MAX_ACCEPTED_PAYLOAD:
        raise ProtocolError("payload of %d bytes" % length)
    payload = recv_exact(sock, length) if length else b""
    if payload is None:
        return None
    return command, arg0, arg1, payload


def device_banner(product):
    props = "ro.product.name=%s;ro.product.model=%s;ro.product.device=%s;" % (
        product.get("name", "simtv"), product.get("model", "SimTV"),
        product.get("device", "simtv"))
    features = product.get("features", "")
    if features:
        # The ';' keeps the zero byte below out of the last feature's name.
        props += "features=%s;" % features
    # Older devices end the banner with a zero byte.
    return ("device::" + props).encode() + b"\0"


# Sync sub-protocol: 4-byte id and a little-endian 32-bit word, then data.
SYNC_HEADER = struct.Struct("<4sI")
SYNC_DATA_MAX = 64 * 1024


def sync_packet(ident, value, data=b""):
    return SYNC_HEADER.pack(ident, value) + data


def sync_fail(message):
    data = message.encode()
    return sync_packet(b"FAIL", len(data), data)
