#!/usr/bin/env python3
"""Tests of the tool bridge under Wine with the relay and a scripted Linux
tool in place of adb.   bridge_test.py <path of adb_bridge.exe>"""
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
BRIDGE = None

FAKE_TOOL = r'''#!%s
import json, os, sys
args = sys.argv[1:]
if args[:1] == ["--big"]:
    for i in range(int(args[1])):
        sys.stdout.write("line %%06d of the report\n" %% i)
    sys.stdout.flush()
    sys.stderr.write("warning: done\n")
    sys.exit(int(args[2]))
print(json.dumps({"argv": args, "cwd": os.getcwd()}))
'''


def wine_command():
    wine = os.environ.get("WINE")
    if wine:
        return wine
    with open(BRIDGE, "rb") as f:
        head = f.read(4096)
    pe = head.find(b"PE\0\0")
    # A 64-bit program needs Wine's 64-bit loader.
    machine = head[pe + 4:pe + 6] if pe >= 0 else b""
    return "/usr/lib/wine/wine64" if machine == b"\x64\x86" else "/usr/lib/wine/wine"


class BridgeTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="bridge test 桥 ")
        cls.data = os.path.join(cls.dir, "data")
        os.mkdir(cls.data)
        shutil.copy(BRIDGE, os.path.join(cls.data, "adb.exe"))
        shutil.copy(BRIDGE, os.path.join(cls.data, "other.exe"))
        fake = os.path.join(cls.dir, "fake-adb")
        with open(fake, "w") as f:
            f.write(FAKE_TOOL % sys.executable)
        os.chmod(fake, 0o755)
        cls.info = os.path.join(cls.data, "tool-relay.txt")
        cls.relay = subprocess.Popen([sys.executable, os.path.join(HERE, "relay.py"),
                                      "--tool", "adb=" + fake, "--info-file", cls.info,
                                      "--lifetime", "280"], stdout=subprocess.DEVNULL)
        for _ in range(100):
            if os.path.exists(cls.info):
                break
            time.sleep(0.05)
        cls.env = dict(os.environ, WINEDEBUG="-all")
        cls.env.setdefault("WINEPREFIX", os.path.join(os.path.dirname(os.path.dirname(
            os.path.abspath(BRIDGE))), "wineprefix"))
        cls.env.pop("DAVREL_TOOL_RELAY", None)

    @classmethod
    def tearDownClass(cls):
        cls.relay.terminate()
        cls.relay.wait()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def run_bridge(self, *args, exe="adb.exe", env=None, cwd=None):
        r = subprocess.run([wine_command(), os.path.join(self.data, exe)] + list(args),
                           capture_output=True, timeout=60, env=env or self.env, cwd=cwd or self.dir)
        return r.stdout, r.stderr, r.returncode

    def tool_saw(self, *args, cwd=None):
        out, err, code = self.run_bridge(*args, cwd=cwd)
        self.assertEqual((err, code), (b"", 0))
        return json.loads(out)

    def test_arguments_arrive_unchanged(self):
        args = ["connect", "192.168.1.20:5555", "a b", 'say "hi"', "中文 参数", "",
                "busybox df -h|busybox grep ' /system$'|busybox awk '{print $2}'"]
        self.assertEqual(self.tool_saw(*args)["argv"], args)

    def test_windows_paths_become_linux_paths(self):
        package = os.path.join(self.dir, "安装 包", "install.apk")
        os.makedirs(os.path.dirname(package), exist_ok=True)
        open(package, "wb").close()
        windows = "Z:" + package.replace("/", "\\")
        seen = self.tool_saw("install", "-s", windows, "shell", "ls C:\\x", "Z:\\tmp",
                             cwd=os.path.dirname(package))
        self.assertEqual(seen["argv"], ["install", "-s", package, "shell", "ls C:\\x", "Z:\\tmp"])
        self.assertEqual(seen["cwd"], os.path.dirname(package))

    def test_output_and_exit_code_are_the_tools(self):
        out, err, code = self.run_bridge("--big", "20000", "3")
        self.assertEqual(out, b"".join(b"line %06d of the report\n" % i for i in range(20000)))
        self.assertEqual((err, code), (b"warning: done\n", 3))

    def test_fails_fast_without_a_relay(self):
        with open(self.info) as f:
            port = f.read().split()[0]
        cases = {
            "no relay file": dict(self.env),
            "nobody listening": dict(self.env, DAVREL_TOOL_RELAY="%d 00" % self.closed_port()),
            "wrong token": dict(self.env, DAVREL_TOOL_RELAY="%s 00" % port),
        }
        os.rename(self.info, self.info + ".away")
        try:
            for name, env in cases.items():
                with self.subTest(name):
                    start = time.monotonic()
                    out, err, code = self.run_bridge("devices", env=env)
                    self.assertNotEqual(code, 0)
                    self.assertEqual(out, b"")
                    self.assertTrue(err.startswith(b"adb: error: "), err)
                    self.assertLess(time.monotonic() - start, 20)
        finally:
            os.rename(self.info + ".away", self.info)

    def test_relay_runs_only_its_tools(self):
        out, err, code = self.run_bridge("anything", exe="other.exe")
        self.assertEqual((out, code), (b"", 1))
        self.assertIn(b"does not run 'other'", err)

    @staticmethod
    def closed_port():
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            return s.getsockname()[1]


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: bridge_test.py <adb_bridge.exe> [unittest options]")
    BRIDGE = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
