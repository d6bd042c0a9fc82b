#!/usr/bin/env python3
"""Tests of the simulated TV: its shell and package manager directly, then
the whole device through Debian's adb client (skipped without adb)."""
import hashlib
import io
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import simtv  # noqa: E402
from tvshell import Tv  # noqa: E402


def compiled_manifest(package):
    """A minimal compiled AndroidManifest.xml: <manifest package="...">."""
    strings = ["manifest", "package", package]
    data = b"".join(struct.pack("<H", len(s)) + s.encode("utf-16-le") + b"\0\0" for s in strings)
    data += b"\0" * (-len(data) % 4)
    offsets, pos = [], 0
    for s in strings:
        offsets.append(pos)
        pos += 2 + 2 * len(s) + 2
    header_size = 28
    starts = header_size + 4 * len(strings)
    pool = struct.pack("<HHIIIIII", 1, header_size, starts + len(data), len(strings), 0, 0,
                       starts, 0) + struct.pack("<%dI" % len(strings), *offsets) + data
    attr = struct.pack("<IIIHBBI", 0xFFFFFFFF, 1, 2, 8, 0, 3, 2)
    ext = struct.pack("<IIHHHHHH", 0xFFFFFFFF, 0, 20, 20, 1, 0, 0, 0)
    element = struct.pack("<HHIII", 0x0102, 16, 16 + len(ext) + len(attr), 1, 0xFFFFFFFF) + ext + attr
    body = pool + element
    return struct.pack("<HHI", 3, 8, 8 + len(body)) + body


def make_apk(package, padding=0):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w") as z:
        z.writestr("AndroidManifest.xml", compiled_manifest(package))
        z.writestr("classes.dex", os.urandom(padding))
    return buf.getvalue()


class NullLog:
    def __init__(self):
        self.events = []

    def event(self, kind, **fields):
        self.events.append(dict(fields, type=kind))


def tv_with(**config):
    cfg = json.loads(json.dumps(simtv.DEFAULT_CONFIG))
    cfg.update(config)
    return Tv(cfg, NullLog())


STORAGE_QUERY = "busybox df -h|busybox grep ' %s$'|busybox awk '{print $%d}'"


class ShellTest(unittest.TestCase):
    def test_storage_queries_read_the_right_columns(self):
        tv = tv_with()
        expected = {("/system", 2): "250.0M", ("/system", 4): "69.8M",
                    ("/data", 2): "1.2G", ("/data", 4): "816.7M",
                    # busybox wraps the long device names of these two, so
                    # their sizes are the first and third columns.
                    ("/mnt/sdcard", 1): "3.7G", ("/mnt/sdcard", 3): "2.6G",
                    ("/data/sdext2", 1): "996.0M", ("/data/sdext2", 3): "975.9M"}
        for (mount, column), value in expected.items():
            self.assertEqual(tv.run(STORAGE_QUERY % (mount, column)), (value + "\n", 0))

    def test_missing_mount_and_missing_busybox(self):
        mounts = [m for m in simtv.DEFAULT_CONFIG["mounts"] if m["mounted_on"] != "/data/sdext2"]
        self.assertEqual(tv_with(mounts=mounts).run(STORAGE_QUERY % ("/data/sdext2", 1)), ("", 0))
        out, _ = tv_with(busybox=False).run(STORAGE_QUERY % ("/system", 2))
        self.assertIn("busybox: not found", out)

    def test_quoting_redirection_and_errors(self):
        tv = tv_with()
        self.assertEqual(tv.run("echo 'a  b' \"c'd\" e\\ f")[0], "a  b c'd e f\n")
        self.assertEqual(tv.run("echo hi > /data/local/tmp/x; cat /data/local/tmp/x </dev/null"),
                         ("hi\n", 0))
        self.assertEqual(tv.run("rm -f /nowhere && echo ok || echo no")[0], "ok\n")
        self.assertIn("not found", tv.run("frobnicate")[0])
        self.assertIn("unterminated", tv.run("echo 'open")[0])


class PackageManagerTest(unittest.TestCase):
    def setUp(self):
        self.tv = tv_with()
        self.apk = make_apk("com.example.tv")
        self.tv.store_file("/data/local/tmp/a b.apk", self.apk, 0o644)

    def install(self, flags=""):
        return self.tv.run("pm 'install' %s '/data/local/tmp/a b.apk'" % flags)[0]

    def test_install_locations_and_reinstall(self):
        self.assertEqual(self.install("'-s'"), "\tpkg: /data/local/tmp/a b.apk\nSuccess\n")
        self.assertIn("Failure [INSTALL_FAILED_ALREADY_EXISTS]", self.install())
        self.assertIn("Success", self.install("-r"))
        installs = [e for e in self.tv.log.events if e["type"] == "install"]
        self.assertEqual([e["location"] for e in installs], ["sdcard", "internal", "internal"])
        self.assertEqual(installs[0]["sha256"], hashlib.sha256(self.apk).hexdigest())
        self.assertEqual(installs[0]["package"], "com.example.tv")

    def test_install_failures(self):
        self.tv.config["failures"] = {"install_sdcard": "INSTALL_FAILED_CONTAINER_ERROR"}
        self.assertIn("Failure [INSTALL_FAILED_CONTAINER_ERROR]", self.install("-s"))
        self.assertIn("Success", self.install())
        self.tv.config["mounts"] = []
        self.tv.config["failures"] = {}
        self.tv.run("pm uninstall com.example.tv")
        self.assertIn("Failure [INSTALL_FAILED_MEDIA_UNAVAILABLE]", self.install("-s"))
        self.tv.store_file("/data/local/tmp/bad.apk", b"not a zip", 0o644)
        self.assertIn("INSTALL_PARSE_FAILED_NOT_APK", self.tv.run("pm install /data/local/tmp/bad.apk")[0])
        self.assertIn("INSTALL_FAILED_INVALID_URI", self.tv.run("pm install /data/local/tmp/none.apk")[0])

    def test_uninstall(self):
        self.install()
        self.assertEqual(self.tv.run("pm uninstall com.example.tv"), ("Success\n", 0))
        self.assertEqual(self.tv.run("pm uninstall com.example.tv")[0],
                         "Failure [DELETE_FAILED_INTERNAL_ERROR]\n")
        self.install()
        self.tv.config["failures"] = {"uninstall": "DELETE_FAILED_DEVICE_POLICY_MANAGER"}
        self.assertIn("DELETE_FAILED_DEVICE_POLICY_MANAGER", self.tv.run("pm uninstall com.example.tv")[0])


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@unittest.skipUnless(shutil.which("adb"), "Debian's adb is not installed")
class AdbClientTest(unittest.TestCase):
    """The TV as Debian's adb sees it, with a private adb server."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="simtv-test-")
        cls.config = os.path.join(cls.dir, "tv.json")
        cls.logfile = os.path.join(cls.dir, "log.json")
        cls.write_config({})
        portfile = os.path.join(cls.dir, "port")
        cls.tv = subprocess.Popen([sys.executable, os.path.join(HERE, "simtv.py"), "--port", "0",
                                   "--config", cls.config, "--log", cls.logfile,
                                   "--port-file", portfile, "--lifetime", "280"],
                                  stdout=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(portfile):
                break
            time.sleep(0.05)
        with open(portfile) as f:
            cls.address = "127.0.0.1:%d" % int(f.read())
        cls.env = dict(os.environ, HOME=cls.dir, ANDROID_ADB_SERVER_PORT=str(free_port()))
        cls.adb("start-server")

    @classmethod
    def tearDownClass(cls):
        cls.adb("kill-server")
        cls.tv.kill()
        cls.tv.wait()
        shutil.rmtree(cls.dir, ignore_errors=True)

    @classmethod
    def write_config(cls, config):
        with open(cls.config + ".tmp", "w") as f:
            json.dump(config, f)
        os.replace(cls.config + ".tmp", cls.config)

    @classmethod
    def adb(cls, *args, timeout=60):
        r = subprocess.run(["adb"] + list(args), env=cls.env, capture_output=True, timeout=timeout)
        return r.stdout.decode() + r.stderr.decode(), r.returncode

    def events(self, kind):
        with open(self.logfile) as f:
            return [e for e in json.load(f)["events"] if e["type"] == kind]

    def wait_for_state(self, state):
        for _ in range(50):
            out, _ = self.adb("devices")
            if "%s\t%s" % (self.address, state) in out:
                return out
            time.sleep(0.2)
        self.fail("TV never became %s: %s" % (state, out))

    def test_1_connect_list_and_query_storage(self):
        out, _ = self.adb("connect", self.address)
        self.assertIn("connected to " + self.address, out)
        out, _ = self.adb("devices")
        self.assertRegex(out, r"List of devices attached\n%s\tdevice\n" % self.address)
        out, _ = self.adb("-s", self.address, "shell", STORAGE_QUERY % ("/system", 2))
        self.assertEqual(out, "250.0M\r\n")

    def test_2_install_and_uninstall(self):
        apk = make_apk("com.example.tv", padding=300000)
        path = os.path.join(self.dir, "安装 包.apk")
        with open(path, "wb") as f:
            f.write(apk)
        out, _ = self.adb("-s", self.address, "install", "-s", path)
        self.assertIn("Success", out)
        out, _ = self.adb("-s", self.address, "install", path)
        self.assertIn("Failure [INSTALL_FAILED_ALREADY_EXISTS]", out)
        push = self.events("push")[-1]
        self.assertEqual((push["size"], push["sha256"]), (len(apk), hashlib.sha256(apk).hexdigest()))
        self.assertEqual([(e["location"], e["sha256"]) for e in self.events("install")],
                         [("sdcard", push["sha256"]), ("internal", push["sha256"])])
        self.assertEqual(self.adb("-s", self.address, "uninstall", "com.example.tv")[0], "Success\r\n")
        self.assertIn("Failure", self.adb("-s", self.address, "uninstall", "com.example.tv")[0])

    def test_3_offline_unauthorized_silent_and_back(self):
        self.adb("connect", self.address)
        self.write_config({"mode": "offline"})
        self.wait_for_state("offline")
        self.write_config({"mode": "unauthorized"})
        self.wait_for_state("unauthorized")
        out, code = self.adb("-s", self.address, "shell", "echo hi")
        self.assertNotEqual(code, 0)
        self.assertIn("unauthorized", out)
        self.write_config({})
        self.wait_for_state("device")
        # Silent: the host still lists the TV, but its commands hang.
        self.write_config({"mode": "silent"})
        for _ in range(50):
            if any(e["mode"] == "silent" for e in self.events("mode")):
                break
            time.sleep(0.1)
        self.wait_for_state("device")
        with self.assertRaises(subprocess.TimeoutExpired):
            self.adb("-s", self.address, "shell", "echo hi", timeout=3)
        self.write_config({})
        self.adb("connect", self.address)
        self.wait_for_state("device")


class CommandLineTest(unittest.TestCase):
    def test_refuses_the_emulator_ports(self):
        r = subprocess.run([sys.executable, os.path.join(HERE, "simtv.py"), "--port", "5555"],
                           capture_output=True, timeout=30)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn(b"5555-5585", r.stderr)

    def test_stops_by_itself(self):
        start = time.monotonic()
        r = subprocess.run([sys.executable, os.path.join(HERE, "simtv.py"), "--port", "0",
                            "--idle-timeout", "1"], capture_output=True, timeout=30)
        self.assertEqual(r.returncode, 0)
        self.assertLess(time.monotonic() - start, 10)


if __name__ == "__main__":
    unittest.main(verbosity=2)
