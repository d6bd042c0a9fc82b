#!/usr/bin/env python3
"""A simulated TV: the device side of the ADB protocol over TCP on loopback,
good enough for the adb client to connect, list, push, install, uninstall
and run the storage queries against it.

  simtv.py [--host 127.0.0.1] [--port 5599] [--config tv.json] [--log received.json]
           [--mode online|offline|unauthorized|silent] [--lifetime SECONDS]
           [--idle-timeout SECONDS] [--parent-pid PID] [--port-file FILE]

The configuration file (JSON, every key optional) is read again whenever it
changes, so a test can switch the TV offline or make installs fail while it
runs:

  {"mode": "online",                 online | offline | unauthorized | silent
   "product": {"name": "simtv", "model": "SimTV", "device": "simtv"},
   "max_payload": 4096,
   "mounts": [{"filesystem": "/dev/block/mtdblock0", "size": "250.0M",
               "used": "180.2M", "available": "69.8M",
               "mounted_on": "/system"}, ...],
   "busybox": true,
   "reinstall": "fail",              fail | replace (without pm's -r)
   "preinstalled": ["com.example.app"],   on the TV from when first named so
   "installed_versions": {"com.example.app": [49, "4.9.0"]},   of the preinstalled
                                     (else 1, "1.0"); dumpsys package shows them
   "signatures": {"com.example.app": "other"},   a preinstalled copy with another
                                     key: updates refused until it is uninstalled
   "failures": {"install": "INSTALL_FAILED_INSUFFICIENT_STORAGE",
                "install_sdcard": "...", "install_internal": "...",
                "install_create": "...", "install_write": "...",
                "uninstall": "...", "push": "No space left on device"},
   "delays": {"handshake": 0, "shell": 0, "install": 0, "uninstall": 0,
              "push_per_mb": 0},     seconds; a pushed file grows at that pace
   "drop_after_bytes": 1000000,      a push drops every connection there
   "sdk": 19, "release": "4.4.2",     ro.build.version.*
   "abilist": "armeabi-v7a,armeabi",  ro.product.cpu.abilist (from sdk 21;
                                      before, ro.product.cpu.abi and abi2)
   "density": 240}                    ro.sf.lcd_density

Split packages (adb install-multiple): the TV answers pm install-create,
install-write (the part streamed after the command line, or a file on the
TV), install-commit and install-abandon from sdk 21 on, as Android 5.0
does; before that pm does not know them. With sdk 24 or more, `cmd
package` runs pm too: a TV whose product has "features": "cmd" gets adb's
installs that way, the package streamed after `cmd package install -S`. A commit fails as a real package manager's would when
the base is missing, the parts disagree in package or version code, a split
comes twice, or no part's native code (lib/<abi>/) suits "abilist"; the
"install" failures apply to it as to pm install.

Offline: connections are accepted but the handshake is never answered (adb
lists the TV as offline). Unauthorized: the TV asks for authentication and
never accepts a key. Switching to either drops the open connections.
Silent: a TV that stopped answering (or a half-open connection): open
connections stay open, so the adb server still lists the TV as a device,
but nothing is answered or sent any more, and a new connection gets no
handshake; adb's commands hang until their caller gives up. Switching out
of silent drops the connections, which ends those commands.

What the TV received is written to the log file after every event, as
{"events": [{"type": "connect"|"shell"|"push"|"install"|"uninstall", ...}]}:
pushes carry path, size and sha256; installs path, package, location
("sdcard" for pm's -s, else "internal"), size, sha256 and the result;
"install_session" events (at commit or abandon) the session, location,
replace (-r), package, state ("committed" | "abandoned"), result, and the
parts as written: name, size, sha256, package, split, version_code, abis.

The TV listens on a loopback address only: 127.0.0.1 by default, never on
ports 5555-5585 there (the adb server probes those for emulators). On another
loopback address (--host 127.0.0.71) any port may be had, 5555 too, where a
search for TVs on the network looks for them. It stops by itself: after --lifetime seconds, after
--idle-timeout seconds without a message, or when its parent process ends.
"""
import argparse
import copy
import hashlib
import json
import os
import socket
import struct
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import adbwire as w  # noqa: E402
from tvshell import Tv  # noqa: E402

DEFAULT_PORT = 5599
RESERVED_PORTS = range(5555, 5586)
MAX_CONNECTIONS = 16
# How long a device waits for the host to acknowledge one write.
WRITE_ACK_TIMEOUT = 30.0

DEFAULT_CONFIG = {
    "mode": "online",
    "product": {"name": "simtv", "model": "SimTV", "device": "simtv"},
    "max_payload": w.MAX_PAYLOAD_OLD,
    "mounts": [
        {"filesystem": "tmpfs", "size": "200.4M", "used": "32.0K",
         "available": "200.4M", "mounted_on": "/dev"},
        {"filesystem": "/dev/block/mtdblock0", "size": "250.0M", "used": "180.2M",
         "available": "69.8M", "mounted_on": "/system"},
        {"filesystem": "/dev/block/mtdblock2", "size": "1.2G", "used": "415.3M",
         "available": "816.7M", "mounted_on": "/data"},
        {"filesystem": "/dev/block/mtdblock1", "size": "64.0M", "used": "1.2M",
         "available": "62.8M", "mounted_on": "/cache"},
        {"filesystem": "/dev/block/vold/179:1", "size": "3.7G", "used": "1.1G",
         "available": "2.6G", "mounted_on": "/mnt/sdcard"},
        {"filesystem": "/dev/block/vold/179:2", "size": "996.0M", "used": "20.1M",
         "available": "975.9M", "mounted_on": "/data/sdext2"},
    ],
    "busybox": True,
    "reinstall": "fail",
    "preinstalled": [],
    "failures": {},
    "delays": {},
    "sdk": 19,
    "release": "4.4.2",
    "abilist": "armeabi-v7a,armeabi",
    "density": 240,
}


class Config(dict):
    """The configuration, read again from its file when the file changes."""

    def __init__(self, path, overrides):
        super().__init__()
        self.path, self.overrides, self.stamp = path, overrides, None
        self.reload(force=True)

    def reload(self, force=False):
        """Returns True when the configuration changed."""
        if not self.path:
            if force:
                self._apply({})
            return force
        try:
            stat = os.stat(self.path)
            stamp = (stat.st_mtime_ns, stat.st_size)
        except OSError:
            stamp = None
        if not force and stamp == self.stamp:
            return False
        self.stamp = stamp
        loaded = {}
        if stamp is not None:
            try:
                with open(self.path, encoding="utf-8") as f:
                    loaded = json.load(f)
            except (OSError, ValueError) as err:
                if not force:
                    # Half-written file: keep the last good configuration.
                    self.stamp = None
                    return False
                raise SystemExit("simtv: cannot read %s: %s" % (self.path, err))
        self._apply(loaded)
        return True

    def _apply(self, loaded):
        merged = copy.deepcopy(DEFAULT_CONFIG)
        merged.update(loaded)
        merged.update(self.overrides)
        self.clear()
        self.update(merged)


class EventLog:
    def __init__(self, path):
        self.path, self.lock, self.events = path, threading.Lock(), []

    def event(self, kind, **fields):
        with self.lock:
            entry = {"type": kind, "time": round(time.time(), 3)}
            entry.update(fields)
            self.events.append(entry)
            if self.path:
                tmp = self.path + ".tmp"
                with open(tmp, "w", encoding="utf-8") as f:
                    json.dump({"events": self.events}, f, indent=1, ensure_ascii=False)
                os.replace(tmp, self.path)


class Stream:
    """One service stream opened by the host."""

    def __init__(self, conn, local_id, remote_id):
        self.conn, self.local_id, self.remote_id = conn, local_id, remote_id
        self.cond = threading.Condition()
        self.inbox = bytearray()
        self.acked = True
        self.closed = False

    # from the connection's reader thread
    def on_data(self, data):
        with self.cond:
            self.inbox.extend(data)
            self.cond.notify_all()

    def on_okay(self):
        with self.cond:
            self.acked = True
            self.cond.notify_all()

    def on_close(self):
        with self.cond:
            self.closed = True
            self.cond.notify_all()

    # from the service thread
    def write(self, data):
        """Sends data in payload-sized writes, each acknowledged before the
        next; False when the stream closed or the host stopped answering."""
        step = self.conn.max_payload
        for pos in range(0, len(data), step):
            with self.cond:
                deadline = time.monotonic() + WRITE_ACK_TIMEOUT
                while not self.acked and not self.closed:
                    left = deadline - time.monotonic()
                    if left <= 0:
                        return False
                    self.cond.wait(left)
                if self.closed:
                    return False
                self.acked = False
            self.conn.send(w.A_WRTE, self.local_id, self.remote_id, data[pos:pos + step])
        return True

    def read_exact(self, count):
        """count bytes from the host, or None when the stream closed first."""
        with self.cond:
            while len(self.inbox) < count and not self.closed and self.conn.alive:
                self.cond.wait(1.0)
            if len(self.inbox) < count:
                return None
            data = bytes(self.inbox[:count])
            del self.inbox[:count]
            return data

    def close(self):
        with self.cond:
            if self.closed:
                return
            self.closed = True
            self.cond.notify_all()
        self.conn.send(w.A_CLSE, self.local_id, self.remote_id)
        self.conn.forget(self.local_id)


class Connection(threading.Thread):
    def __init__(self, server, sock, peer):
        super().__init__(daemon=True)
        self.server, self.sock, self.peer = server, sock, peer
        self.send_lock = threading.Lock()
        self.streams, self.next_id = {}, 1
        self.streams_lock = threading.Lock()
        self.online = False
        self.alive = True
        self.max_payload = w.MAX_PAYLOAD_OLD

    def send(self, command, arg0, arg1, payload=b""):
        if self.server.config.get("mode") == "silent":
            return
        try:
            with self.send_lock:
                self.sock.sendall(w.pack(command, arg0, arg1, payload))
        except OSError:
            self.drop()

    def drop(self):
        self.alive = False
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def forget(self, local_id):
        with self.streams_lock:
            self.streams.pop(local_id, None)

    def run(self):
        try:
            while self.alive:
                msg = w.read_message(self.sock)
                if msg is None:
                    break
                self.server.touch()
                self.handle(*msg)
        except (OSError, w.ProtocolError):
            pass
        finally:
            self.alive = False
            with self.streams_lock:
                streams = list(self.streams.values())
                self.streams.clear()
            for s in streams:
                s.on_close()
            self.sock.close()
            self.server.connection_ended(self)

    def handle(self, command, arg0, arg1, payload):
        cfg = self.server.config
        mode = cfg.get("mode", "online")
        if command == w.A_CNXN:
            self.server.log.event("connect", peer=self.peer, mode=mode,
                                  host_banner=payload.rstrip(b"\0").decode("utf-8", "replace"))
            if mode in ("offline", "silent"):
                return
            if mode == "unauthorized":
                self.send(w.A_AUTH, w.AUTH_TOKEN, 0, os.urandom(20))
                return
            delay = float(cfg.get("delays", {}).get("handshake", 0))
            if delay:
                time.sleep(delay)
            ours = int(cfg.get("max_payload", w.MAX_PAYLOAD_OLD))
            self.max_payload = max(256, min(ours, arg1 or ours))
            self.online = True
            self.send(w.A_CNXN, w.VERSION_OLD, ours, w.device_banner(cfg.get("product", {})))
        elif mode == "silent":
            return
        elif command == w.A_AUTH:
            # A signature never matches: ask again; a public key would need
            # someone at the TV to accept it, and nobody ever does.
            if mode == "unauthorized" and arg0 == w.AUTH_SIGNATURE:
                self.send(w.A_AUTH, w.AUTH_TOKEN, 0, os.urandom(20))
        elif not self.online:
            return
        elif command == w.A_OPEN:
            self.open_stream(arg0, payload.rstrip(b"\0").decode("utf-8", "replace"))
        elif command == w.A_WRTE:
            stream = self.stream(arg1)
            if stream:
                stream.on_data(payload)
                self.send(w.A_OKAY, arg1, arg0)
        elif command == w.A_OKAY:
            stream = self.stream(arg1)
            if stream:
                stream.on_okay()
        elif command == w.A_CLSE:
            stream = self.stream(arg1)
            if stream:
                stream.on_close()
                self.forget(arg1)

    def stream(self, local_id):
        with self.streams_lock:
            return self.streams.get(local_id)

    def open_stream(self, remote_id, service):
        handler = None
        if service.startswith("shell:"):
            handler = self.shell_service
        elif service.startswith("exec:"):
            handler = self.exec_service
        elif service == "sync:":
            handler = self.sync_service
        if handler is None:
            self.server.log.event("refused", service=service)
            self.send(w.A_CLSE, 0, remote_id)
            return
        with self.streams_lock:
            local_id = self.next_id
            self.next_id += 1
            stream = Stream(self, local_id, remote_id)
            self.streams[local_id] = stream
        self.send(w.A_OKAY, local_id, remote_id)
        threading.Thread(target=self.serve, args=(handler, stream, service),
                         daemon=True).start()

    def serve(self, handler, stream, service):
        try:
            handler(stream, service.split(":", 1)[1])
        except Exception as err:  # a fault in the TV must not kill the server
            self.server.log.event("error", service=service, error=repr(err))
        finally:
            stream.close()

    # services ------------------------------------------------------------
    def shell_service(self, stream, command):
        if not command.strip():
            return self.interactive_shell(stream)
        output, _code = self.server.tv.run(command)
        # The shell runs on a terminal, which ends lines with CR LF.
        stream.write(output.replace("\n", "\r\n").encode("utf-8"))

    def exec_service(self, stream, command):
        output, _code = self.server.tv.run(command, stream.read_exact)
        stream.write(output.encode("utf-8"))

    def interactive_shell(self, stream):
        prompt = b"shell@%s:/ $ " % self.server.config.get("product", {}).get(
            "device", "simtv").encode()
        stream.write(prompt)
        line = bytearray()
        while True:
            ch = stream.read_exact(1)
            if ch is None:
                return
            if ch not in b"\r\n":
                line.extend(ch)
                continue
            text = line.decode("utf-8", "replace").strip()
            line.clear()
            if text == "exit":
                return
            if text:
                output, _code = self.server.tv.run(text)
                stream.write(output.replace("\n", "\r\n").encode("utf-8"))
            stream.write(prompt)

    def sync_service(self, stream, _rest):
        tv = self.server.tv
        while True:
            head = stream.read_exact(8)
            if head is None:
                return
            ident, length = w.SYNC_HEADER.unpack(head)
            if ident in (b"STAT", b"LIST", b"SEND", b"RECV"):
                if length > 1024:
                    stream.write(w.sync_fail("path too long"))
                    return
                raw = stream.read_exact(length)
                if raw is None:
                    return
                path = raw.decode("utf-8", "replace")
            if ident == b"STAT":
                stream.write(struct.pack("<4sIII", b"STAT", *tv.stat(path)))
            elif ident == b"LIST":
                base = path.rstrip("/")
                for name in tv.list_dir(path):
                    mode, size, mtime = tv.stat(base + "/" + name)
                    n = name.encode()
                    stream.write(struct.pack("<4sIIII", b"DENT", mode, size, mtime, len(n)) + n)
                stream.write(struct.pack("<4sIIII", b"DONE", 0, 0, 0, 0))
            elif ident == b"SEND":
                if not self.receive_file(stream, path):
                    return
            elif ident == b"RECV":
                data = tv.read_file(path)
                if data is None:
                    stream.write(w.sync_fail("No such file or directory"))
                    continue
                for pos in range(0, len(data), w.SYNC_DATA_MAX):
                    chunk = data[pos:pos + w.SYNC_DATA_MAX]
                    stream.write(w.sync_packet(b"DATA", len(chunk), chunk))
                stream.write(w.sync_packet(b"DONE", 0))
            elif ident == b"QUIT":
                return
            else:
                stream.write(w.sync_fail("unknown sync request %r" % ident))
                return

    def receive_file(self, stream, target):
        """SEND: DATA packets up to DONE; answers OKAY or FAIL. The file
        grows on the TV as its pieces arrive ("push_per_mb" paces them), so
        another connection sees its size meanwhile; a failed push removes it,
        as adbd does. "drop_after_bytes": once that many bytes arrived, every
        connection is dropped and the half-sent file stays. False when the
        stream broke or the host sent something else."""
        path, _, mode_text = target.rpartition(",")
        if not path:
            path, mode_text = target, "33188"
        try:
            mode = int(mode_text)
        except ValueError:
            mode = 0o644
        cfg, tv = self.server.config, self.server.tv
        per_mb = float(cfg.get("delays", {}).get("push_per_mb", 0))
        drop_after = cfg.get("drop_after_bytes")
        chunks, size = [], 0
        error, entry = tv.start_file(path, mode)
        while True:
            head = stream.read_exact(8)
            if head is None:
                return False
            ident, value = w.SYNC_HEADER.unpack(head)
            if ident == b"DATA":
                if value > w.SYNC_DATA_MAX:
                    stream.write(w.sync_fail("data packet too large"))
                    return False
                data = stream.read_exact(value)
                if data is None or stream.closed:  # the host went away: what it sent is lost
                    return False
                if per_mb:
                    time.sleep(min(per_mb * value / 1e6, 60))
                chunks.append(data)
                size += value
                error = error or tv.grow_file(path, entry, data)
                if drop_after is not None and size >= int(drop_after):
                    self.server.log.event("push", path=path, size=size, result="dropped")
                    self.server.drop_all()
                    return False
            elif ident == b"DONE":
                break
            else:
                stream.write(w.sync_fail("unexpected %r during send" % ident))
                tv.end_file(path, entry, keep=False)
                return False
        data = b"".join(chunks)
        error = cfg.get("failures", {}).get("push") or error
        tv.end_file(path, entry, keep=not error)
        self.server.log.event("push", path=path, size=size,
                              sha256=hashlib.sha256(data).hexdigest(),
                              result=error or "OKAY")
        stream.write(w.sync_fail(error) if error else w.sync_packet(b"OKAY", 0))
        return True


def is_loopback(host):
    parts = host.split(".")
    return (len(parts) == 4 and all(p.isdigit() and len(p) <= 3 and int(p) <= 255 for p in parts)
            and parts[0] == "127")


def parent_alive(pid):
    """pid > 0: that process still exists; pid == 0: not watched; pid < 0:
    our parent at start (-pid) is still our parent."""
    if pid < 0:
        return os.getppid() == -pid
    if pid > 0:
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return False
        except PermissionError:
            pass
    return True


class Server:
    def __init__(self, args):
        overrides = {"mode": args.mode} if args.mode else {}
        self.config = Config(args.config, overrides)
        self.log = EventLog(args.log)
        self.tv = Tv(self.config, self.log)
        self.args = args
        self.lock = threading.Lock()
        self.connections = set()
        self.last_activity = time.monotonic()
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind((args.host, args.port))
        self.listener.listen(8)
        self.listener.settimeout(0.5)
        self.port = self.listener.getsockname()[1]

    def touch(self):
        self.last_activity = time.monotonic()

    def connection_ended(self, conn):
        with self.lock:
            self.connections.discard(conn)

    def drop_all(self):
        with self.lock:
            conns = list(self.connections)
        for c in conns:
            c.drop()

    def reason_to_stop(self, started):
        now = time.monotonic()
        if self.args.lifetime and now - started > self.args.lifetime:
            return "lifetime over"
        if self.args.idle_timeout and now - self.last_activity > self.args.idle_timeout:
            return "idle"
        if not parent_alive(self.args.parent_pid):
            return "parent gone"
        return None

    def serve(self):
        started = time.monotonic()
        mode = self.config.get("mode")
        while True:
            reason = self.reason_to_stop(started)
            if reason:
                print("simtv: stopping (%s)" % reason, file=sys.stderr)
                break
            changed = self.config.reload()
            if changed:
                self.tv.apply_preinstalled()
            if changed and self.config.get("mode") != mode:
                mode = self.config.get("mode")
                self.log.event("mode", mode=mode)
                if mode != "silent":
                    self.drop_all()
            try:
                sock, peer = self.listener.accept()
            except socket.timeout:
                continue
            self.touch()
            with self.lock:
                if len(self.connections) >= MAX_CONNECTIONS:
                    sock.close()
                    continue
                sock.settimeout(None)
                sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
                conn = Connection(self, sock, "%s:%d" % peer)
                self.connections.add(conn)
            conn.start()
        self.drop_all()
        self.listener.close()


def main(argv=None):
    p = argparse.ArgumentParser(description="Simulated TV speaking the device side of ADB.")
    p.add_argument("--host", default="127.0.0.1",
                   help="loopback address to listen on (127.x.y.z); default %(default)s")
    p.add_argument("--port", type=int, default=DEFAULT_PORT,
                   help="TCP port (0 picks a free one); default %(default)s")
    p.add_argument("--config", help="JSON configuration, read again when it changes")
    p.add_argument("--log", help="JSON file recording what the TV received")
    p.add_argument("--mode", choices=["online", "offline", "unauthorized", "silent"])
    p.add_argument("--port-file", help="write the port to this file once listening")
    p.add_argument("--next-free-host", action="store_true",
                   help="where --host:--port is taken, the next loopback address of its /24 that is free")
    p.add_argument("--address-file", help="write host:port to this file once listening")
    p.add_argument("--lifetime", type=float, default=0, help="stop after this many seconds")
    p.add_argument("--idle-timeout", type=float, default=1800,
                   help="stop after this many seconds without a message (0: never)")
    p.add_argument("--print-config", action="store_true",
                   help="print the default configuration as JSON and exit")
    p.add_argument("--parent-pid", type=int,
                   help="stop when this process ends (default: the parent; 0: never)")
    args = p.parse_args(argv)
    if args.print_config:
        json.dump(DEFAULT_CONFIG, sys.stdout, indent=2)
        print()
        return 0
    if args.parent_pid is None:
        args.parent_pid = -os.getppid() if os.getppid() > 1 else 0
    if not is_loopback(args.host):
        p.error("--host must be a loopback address (127.x.y.z)")
    if args.port in RESERVED_PORTS and args.host == "127.0.0.1":
        p.error("ports 5555-5585 of 127.0.0.1 belong to the adb server's emulator scan; "
                "choose another, or another loopback address")
    if not 0 <= args.port < 65536:
        p.error("bad port")
    server = None
    while server is None:
        try:
            server = Server(args)
        except OSError as err:
            last = int(args.host.rsplit(".", 1)[1])
            if not args.next_free_host or last >= 254:
                print("simtv: cannot listen on %s:%d: %s" % (args.host, args.port, err), file=sys.stderr)
                return 1
            args.host = "%s.%d" % (args.host.rsplit(".", 1)[0], last + 1)
    for path, text in ((args.port_file, "%d\n" % server.port),
                       (args.address_file, "%s:%d\n" % (args.host, server.port))):
        if path:
            with open(path + ".tmp", "w") as f:
                f.write(text)
            os.replace(path + ".tmp", path)
    print("simtv: listening on %s:%d" % (args.host, server.port), flush=True)
    try:
        server.serve()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
