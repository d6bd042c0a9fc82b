#!/usr/bin/env python3
"""Linux side of the tool bridge. A Windows program under Wine cannot read
the output of a Linux program through a pipe, so the bridge (adb.exe in
Davrel's data folder) asks this relay, over a loopback socket, to run the
Linux tool with its arguments, and gets back the tool's standard output and
standard error as they come, then its exit code.

  relay.py --tool adb=/usr/bin/adb [--tool aapt=/path/to/aapt]
           --info-file DIR/tool-relay.txt [--port 0] [--parent-pid PID]
           [--lifetime SECONDS]

The info file (written once listening, readable by the owner only) holds
"<port> <token>"; the bridge reads it from beside itself. Only callers that
know the token get a tool run, and only the tools named with --tool run.

Request: "DAVREL-RELAY 1\\n", a 32-bit little-endian count, then that many
fields, each a 32-bit length and its bytes: token, tool name, working
folder (a Linux path, may be empty), then the arguments (UTF-8).
Reply: frames of one type byte and a 32-bit length: b"o" standard output,
b"e" standard error, b"f" a failure text of the relay's own, b"x" the exit
code (32-bit signed). The tool is ended if the bridge goes away first.
"""
import argparse
import hmac
import os
import secrets
import selectors
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

MAGIC = b"DAVREL-RELAY 1\n"
MAX_FIELDS = 4096
MAX_FIELD = 256 * 1024
MAX_CLIENTS = 32
# After the tool exits, output still in its pipes is passed on; a grandchild
# that kept the pipes (adb's forked server) must not hold the reply open.
DRAIN_AFTER_EXIT = 0.3


def recv_exact(sock, count):
    data = bytearray()
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise ConnectionError("peer closed")
        data.extend(chunk)
    return bytes(data)


def read_request(sock):
    if recv_exact(sock, len(MAGIC)) != MAGIC:
        raise ValueError("not a relay request")
    count = struct.unpack("<I", recv_exact(sock, 4))[0]
    if not 3 <= count <= MAX_FIELDS:
        raise ValueError("bad field count")
    fields = []
    for _ in range(count):
        size = struct.unpack("<I", recv_exact(sock, 4))[0]
        if size > MAX_FIELD:
            raise ValueError("field too long")
        fields.append(recv_exact(sock, size))
    return fields


def frame(kind, data):
    return kind + struct.pack("<I", len(data)) + data


class Relay:
    def __init__(self, tools, token):
        self.tools, self.token = tools, token
        self.clients = threading.BoundedSemaphore(MAX_CLIENTS)

    def handle(self, sock):
        try:
            sock.settimeout(10)
            fields = read_request(sock)
            sock.settimeout(None)
        except (OSError, ValueError, ConnectionError):
            sock.close()
            return
        token, tool, cwd = fields[0], fields[1].decode("utf-8", "replace"), fields[2]
        if not hmac.compare_digest(token, self.token):
            sock.close()
            return
        exe = self.tools.get(tool.lower())
        try:
            if exe is None:
                self.fail(sock, "the relay does not run '%s'" % tool)
            else:
                self.run(sock, exe, cwd, fields[3:])
        except OSError:
            pass
        finally:
            sock.close()

    @staticmethod
    def fail(sock, text):
        sock.sendall(frame(b"f", text.encode("utf-8")) + frame(b"x", struct.pack("<i", 1)))

    def run(self, sock, exe, cwd, args):
        folder = os.fsdecode(cwd) if cwd else ""
        if not os.path.isdir(folder):
            folder = None
        try:
            proc = subprocess.Popen([exe] + [os.fsdecode(a) for a in args], cwd=folder,
                                    stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.PIPE, start_new_session=True)
        except OSError as err:
            self.fail(sock, "cannot start %s: %s" % (exe, err.strerror))
            return
        sel = selectors.DefaultSelector()
        sel.register(proc.stdout, selectors.EVENT_READ, b"o")
        sel.register(proc.stderr, selectors.EVENT_READ, b"e")
        sel.register(sock, selectors.EVENT_READ, None)
        open_pipes, exited_at = 2, None
        try:
            while True:
                if exited_at is None and proc.poll() is not None:
                    exited_at = time.monotonic()
                if exited_at is not None and (
                        not open_pipes or time.monotonic() - exited_at > DRAIN_AFTER_EXIT):
                    break
                for key, _ in sel.select(timeout=0.05):
                    if key.data is None:
                        # The bridge never sends more: this is it going away.
                        if not sock.recv(1, socket.MSG_PEEK):
                            proc.kill()
                            return
                        sel.unregister(sock)
                        continue
                    chunk = os.read(key.fileobj.fileno(), 65536)
                    if chunk:
                        sock.sendall(frame(key.data, chunk))
                    else:
                        sel.unregister(key.fileobj)
                        open_pipes -= 1
            code = proc.wait()
            if code < 0:
                code = 128 - code  # ended by a signal, as a shell reports it
            sock.sendall(frame(b"x", struct.pack("<i", code)))
        finally:
            sel.close()
            proc.stdout.close()
            proc.stderr.close()
            if proc.poll() is None:
                proc.kill()
                proc.wait()


def parent_alive(pid):
    if pid <= 0:
        return True
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        pass
    return True


def main(argv=None):
    p = argparse.ArgumentParser(description="Runs Linux tools for the Windows tool bridge.")
    p.add_argument("--tool", action="append", default=[], metavar="NAME=PATH",
                   help="a tool the bridge may run, e.g. adb=/usr/bin/adb")
    p.add_argument("--info-file", required=True, help='where to write "<port> <token>"')
    p.add_argument("--port", type=int, default=0, help="port on 127.0.0.1 (0: any free one)")
    p.add_argument("--parent-pid", type=int, default=None,
                   help="stop when this process ends (default: the parent; 0: never)")
    p.add_argument("--lifetime", type=float, default=0, help="stop after this many seconds")
    args = p.parse_args(argv)
    tools = {}
    for entry in args.tool:
        name, _, path = entry.partition("=")
        if not name or not path:
            p.error("--tool wants NAME=PATH")
        tools[name.lower()] = path
    if not tools:
        p.error("name at least one --tool")
    parent = os.getppid() if args.parent_pid is None else args.parent_pid

    token = secrets.token_hex(16)
    relay = Relay(tools, token.encode())
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        listener.bind(("127.0.0.1", args.port))
    except OSError as err:
        print("relay: cannot listen on 127.0.0.1:%d: %s" % (args.port, err), file=sys.stderr)
        return 1
    listener.listen(16)
    listener.settimeout(0.5)
    port = listener.getsockname()[1]
    tmp = args.info_file + ".tmp"
    fd = os.open(tmp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "w") as f:
        f.write("%d %s\n" % (port, token))
    os.replace(tmp, args.info_file)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print("relay: listening on 127.0.0.1:%d" % port, flush=True)

    started = time.monotonic()
    try:
        while parent_alive(parent):
            if args.lifetime and time.monotonic() - started > args.lifetime:
                break
            try:
                sock, _ = listener.accept()
            except socket.timeout:
                continue
            if not relay.clients.acquire(blocking=False):
                sock.close()
                continue

            def serve(s=sock):
                try:
                    relay.handle(s)
                finally:
                    relay.clients.release()
            threading.Thread(target=serve, daemon=True).start()
    finally:
        listener.close()
        try:
            # Only remove the file if it is still ours.
            with open(args.info_file) as f:
                if f.read().split()[1:2] == [token]:
                    os.unlink(args.info_file)
        except (OSError, IndexError):
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
