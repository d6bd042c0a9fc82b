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
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, "..", "bundles")]
import make_bundles  # noqa: E402
import make_suite  # noqa: E402
import adbwire as w  # noqa: E402
import simtv  # noqa: E402
from tvshell import Tv  # noqa: E402


def make_apk(package, padding=0):
    return make_bundles.apk(package, padding=padding)


class NullLog:
    def __init__(self):
        self.events = []

    def event(self, kind, **fields):
        self.events.append(dict(fields, type=kind))


def tv_with(**config):
    cfg = json.loads(json.dumps(simtv.DEFAULT_CONFIG))
    cfg.update(config)
    return Tv(cfg, NullLog())


AAPT = os.path.join(HERE, "../../.deps/npm/node_modules/aaptjs/bin/linux/aapt")
SAMPLE = os.path.join(HERE, "../../.deps/npm/node_modules/android-apidemos/apks/ApiDemos-debug.apk")
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

    def test_a_file_size_as_each_era_prints_it(self):
        for sdk, stat_out, ls_out in (
                (19, "/system/bin/sh: stat: not found\n", r"^-rw-r--r-- shell    shell     *3 \S+ \S+ a\.apk\n$"),
                (23, "3\n", r"^-rw-r--r-- 1 shell shell 3 \S+ \S+ /data/local/tmp/a\.apk\n$")):
            tv = tv_with(sdk=sdk)
            error, entry = tv.start_file("/data/local/tmp/a.apk", 0o644)
            tv.grow_file("/data/local/tmp/a.apk", entry, b"abc")  # still arriving
            self.assertEqual(tv.run("stat -c %s /data/local/tmp/a.apk")[0], stat_out)
            self.assertRegex(tv.run("ls -l /data/local/tmp/a.apk")[0], ls_out)
        self.assertIn("No such file", tv.run("stat -c %s /data/local/tmp/b.apk")[0])


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


class VersionTest(unittest.TestCase):
    def test_versions_downgrades_and_another_key(self):
        tv = tv_with(preinstalled=["com.example.tv", "com.other.tv"],
                     installed_versions={"com.example.tv": [5, "4.9.0"]},
                     signatures={"com.other.tv": "other"})
        dump = lambda name: tv.run("dumpsys package " + name)[0]
        self.assertIn("Packages:\n  Package [com.example.tv] (", dump("com.example.tv"))
        self.assertIn("    versionCode=5 targetSdk=17\n    versionName=4.9.0\n", dump("com.example.tv"))
        self.assertNotIn("Packages:", dump("com.none"))
        install = lambda flags, name, code: tv.store_file("/data/local/tmp/p.apk", make_bundles.apk(
            name, version_code=code), 0o644) or tv.run("pm install %s /data/local/tmp/p.apk" % flags)[0]
        self.assertIn("Failure [INSTALL_FAILED_VERSION_DOWNGRADE]", install("-r", "com.example.tv", 3))
        self.assertIn("Success", install("-r -d", "com.example.tv", 3))
        self.assertIn("versionCode=3 targetSdk=17\n    versionName=1.3\n", dump("com.example.tv"))
        self.assertIn("Success", install("-r", "com.example.tv", 3))  # the same version
        tv.config["sdk"] = 24  # -d is refused for packages that are not debuggable
        self.assertIn("INSTALL_FAILED_VERSION_DOWNGRADE", install("-r -d", "com.example.tv", 2))
        self.assertIn("versionCode=3 minSdk=21 targetSdk=28", dump("com.example.tv"))
        # The TV's copy with another key: refused until it is gone.
        self.assertIn("INSTALL_FAILED_UPDATE_INCOMPATIBLE", install("-r", "com.other.tv", 2))
        self.assertEqual(tv.run("pm uninstall com.other.tv")[0], "Success\n")
        self.assertIn("Success", install("-r", "com.other.tv", 2))
        self.assertIn("Success", install("-r", "com.other.tv", 2))


class SplitInstallTest(unittest.TestCase):
    """Install sessions as adb's install-multiple drives them, the device
    properties that choose the splits, and the bundles built for tests."""

    def session(self, tv, parts, create="-r"):
        out = tv.run("pm install-create -S 1 %s" % create)[0]
        session = out[out.index("[") + 1:out.index("]")]
        for name, data in parts:
            feed = io.BytesIO(data).read
            self.assertIn("Success", tv.run("pm install-write -S %d %s %s -" % (
                len(data), session, name), read_exact=feed)[0])
        return tv.run("pm install-commit " + session)[0]

    def test_sessions_and_refusals(self):
        self.assertIn("unknown command 'install-create'", tv_with().run("pm install-create")[0])
        tv = tv_with(sdk=21)
        p = make_bundles.parts("com.example.split", abis=["armeabi-v7a", "arm64-v8a"])
        self.assertEqual(self.session(tv, [("b.apk", p["base"]), ("v7.apk", p["armeabi_v7a"])],
                                      "-r -s"), "Success\n")
        event = tv.log.events[-1]
        self.assertEqual((event["location"], event["package"]), ("sdcard", "com.example.split"))
        self.assertEqual([(x["name"], x["split"], x["sha256"]) for x in event["parts"]],
                         [("b.apk", None, hashlib.sha256(p["base"]).hexdigest()),
                          ("v7.apk", "config.armeabi_v7a",
                           hashlib.sha256(p["armeabi_v7a"]).hexdigest())])
        other = make_bundles.apk("com.example.split", "config.en", version_code=2)
        base = ("b.apk", p["base"])
        for parts, reason in (([("a.apk", p["en"])], "must include a base"),
                              ([base, ("a.apk", other)], "Inconsistent version 2"),
                              ([base, ("a.apk", p["arm64_v8a"])], "NO_MATCHING_ABIS")):
            self.assertIn(reason, self.session(tv, parts))
        self.assertIn("ALREADY_EXISTS", self.session(tv, [base], create=""))
        self.assertEqual(tv.run("pm install-abandon 1")[1], 1)

    def test_device_properties(self):
        tv = tv_with()
        self.assertEqual([tv.run("getprop " + k)[0] for k in (
            "ro.product.cpu.abilist", "ro.product.cpu.abi", "ro.product.cpu.abi2",
            "ro.sf.lcd_density", "ro.build.version.sdk")],
            ["\n", "armeabi-v7a\n", "armeabi\n", "240\n", "19\n"])
        tv = tv_with(sdk=28, abilist="arm64-v8a,armeabi-v7a", density=320)
        self.assertEqual(tv.run("getprop ro.product.cpu.abilist; getprop ro.sf.lcd_density")[0],
                         "arm64-v8a,armeabi-v7a\n320\n")

    def test_bundles(self):
        p = make_bundles.parts("com.example.split", densities=["xxhdpi"], languages=["zh"])
        with zipfile.ZipFile(io.BytesIO(make_bundles.build_xapk(p, "com.example.split"))) as z:
            info = json.loads(z.read("manifest.json"))
            self.assertIn(info["expansions"][0]["file"], z.namelist())
            self.assertEqual(sorted(s["file"] for s in info["split_apks"]), sorted(
                n for n in z.namelist() if n.endswith(".apk")))
        with zipfile.ZipFile(io.BytesIO(make_bundles.build_apks(p))) as z:
            self.assertIn("splits/base-xxhdpi.apk", z.namelist())
        with zipfile.ZipFile(io.BytesIO(make_bundles.build_apkm(p, "com.example.split"))) as z:
            self.assertIn("split_config.zh.apk", z.namelist())
        aapt = AAPT
        if not os.access(aapt, os.X_OK):
            self.skipTest("aapt is not installed (scripts/real-tools.sh)")
        with tempfile.TemporaryDirectory() as d:
            for config in ("base", "xxhdpi"):
                with open(os.path.join(d, config), "wb") as f:
                    f.write(p[config])
            split = subprocess.run([aapt, "d", "badging", os.path.join(d, "xxhdpi")],
                                   capture_output=True, text=True).stdout
            base = subprocess.run([aapt, "d", "badging", os.path.join(d, "base")],
                                  capture_output=True, text=True).stdout
        self.assertIn("package: name='com.example.split' versionCode='1' versionName='1.1'"
                      " split='config.xxhdpi'", split)
        self.assertIn("sdkVersion:'21'", base)
        self.assertNotIn("split=", base)

    @unittest.skipUnless(os.access(AAPT, os.X_OK) and os.path.exists(SAMPLE), "no aapt or ApiDemos")
    def test_suite_of_bundles(self):
        """The end-to-end tests' bundles hold what their names promise."""
        out = tempfile.mkdtemp(prefix="suite-test-")
        self.addCleanup(shutil.rmtree, out)
        icons = make_suite.build(AAPT, SAMPLE, out)
        self.assertEqual(icons, ["res/drawable-%s-v4/app_sample_code.png" % d for d in ("hdpi", "mdpi")])
        open_zip = lambda name: zipfile.ZipFile(os.path.join(out, name))  # noqa: E731
        for name in ("sample.apkm", "nobase.apks", "newsdk.xapk", "slip.xapk", "dotdot.apks", "many.xapk"):
            self.assertIsNone(open_zip(name).testzip(), name)
        with open_zip("sample.xapk") as z:
            obb = json.loads(z.read("manifest.json"))["expansions"][0]["install_path"]
            self.assertEqual(len(z.read(obb)), 1 << 20)
        with open_zip("sample.apks") as z:
            parts = [(n[12:-4], z.read(n)) for n in z.namelist() if n.endswith(".apk")]
        for config, data in parts:  # the icon is only in the density splits
            with open(os.path.join(out, "part"), "wb") as f:
                f.write(data)
            badging = subprocess.run([AAPT, "d", "badging", f.name], capture_output=True, text=True).stdout
            self.assertIn("label='API Demos' icon='%s'" % icons[1] if config == "master"
                          else "split='config.%s'" % config, badging)
            self.assertEqual("split=" in badging, config != "master")
            self.assertEqual(set(icons) <= set(zipfile.ZipFile(io.BytesIO(data)).namelist()),
                             config.endswith("dpi"))
        tv = tv_with(sdk=21, abilist="armeabi-v7a")
        self.assertEqual(self.session(tv, parts), "Success\n")
        for name, reason in (("nobase.apks", "must include a base"), ("mixed.apkm", "Inconsistent"),
                             ("noabi.apks", "NO_MATCHING_ABIS")):
            with open_zip(name) as z:
                self.assertIn(reason, self.session(tv, [(n, z.read(n)) for n in z.namelist()
                                                        if n.endswith(".apk")]))
        for name, declared, big in (("liar.apks", 1000, True), ("huge.apks", 5 << 30, False)):
            with open_zip(name) as z:  # both headers declare the size; the data inflates to its own
                info = z.getinfo("splits/base-xxhdpi.apk")
                z.fp.seek(info.header_offset + 22)
                local, name_len, extra_len = struct.unpack("<I2H", z.fp.read(8))
                z.fp.seek(name_len + extra_len, 1)
                inflated = len(zlib.decompress(z.fp.read(info.compress_size), -15))
                self.assertEqual((info.file_size, local, inflated == 8 << 20, inflated > 4096),
                                 (declared, min(declared, 0xFFFFFFFF), big, big), name)

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

    def test_3_install_multiple(self):
        self.write_config({"sdk": 21, "abilist": "arm64-v8a,armeabi-v7a"})
        for _ in range(50):
            out, _ = self.adb("-s", self.address, "shell", "getprop ro.product.cpu.abilist")
            if out.startswith("arm64"):
                break
            time.sleep(0.1)
        p = make_bundles.parts("com.example.multi", abis=["arm64-v8a"], languages=[])
        names = [os.path.join(self.dir, n) for n in ("base.apk", "split.apk")]
        for name, data in zip(names, (p["base"], p["arm64_v8a"])):
            with open(name, "wb") as f:
                f.write(data)
        out, code = self.adb("-s", self.address, "install-multiple", "-r", "-s", *names)
        self.assertEqual((out, code), ("Success\n", 0))
        event = self.events("install_session")[-1]
        self.assertEqual([(x["name"], x["size"], x["split"]) for x in event["parts"]],
                         [("base.apk", len(p["base"]), None),
                          ("split.apk", len(p["arm64_v8a"]), "config.arm64_v8a")])
        self.assertEqual((event["location"], event["state"]), ("sdcard", "committed"))
        self.write_config({})

    def test_4_offline_unauthorized_silent_and_back(self):
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

    def test_5_a_slow_push_grows_on_the_tv_and_a_drop_leaves_it_half_sent(self):
        self.write_config({"sdk": 23, "delays": {"push_per_mb": 2}})
        self.adb("connect", self.address)
        path = os.path.join(self.dir, "big.apk")
        with open(path, "wb") as f:
            f.write(os.urandom(1 << 20))
        time.sleep(1.2)  # the TV reads its configuration twice a second
        push = subprocess.Popen(["adb", "-s", self.address, "push", path, "/data/local/tmp/big.apk"],
                                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        sizes = set()
        while push.poll() is None:
            out, _ = self.adb("-s", self.address, "shell", "stat -c %s /data/local/tmp/big.apk")
            if out.strip().isdigit():
                sizes.add(int(out))
            time.sleep(0.2)
        self.assertEqual(push.returncode, 0)
        self.assertTrue(any(0 < n < 1 << 20 for n in sizes), sizes)
        self.write_config({"drop_after_bytes": 300000})
        time.sleep(1.2)
        out, code = self.adb("-s", self.address, "push", path, "/data/local/tmp/big.apk")
        self.assertNotEqual(code, 0, out)
        self.write_config({})
        self.adb("connect", self.address)
        self.wait_for_state("device")
        out, _ = self.adb("-s", self.address, "shell", "ls -l /data/local/tmp/big.apk")
        self.assertRegex(out, r" 3\d{5} ")  # what arrived before the drop
        print("adb push on a drop: %r" % self.events("push")[-1], file=sys.stderr)


class CommandLineTest(unittest.TestCase):
    def test_refuses_the_emulator_ports(self):
        r = subprocess.run([sys.executable, os.path.join(HERE, "simtv.py"), "--port", "5555"],
                           capture_output=True, timeout=30)
        self.assertNotEqual(r.returncode, 0)
        self.assertIn(b"5555-5585", r.stderr)

    def test_refuses_addresses_off_this_machine(self):
        for host in ("192.168.1.5", "0.0.0.0", "localhost", "127.0.0"):
            r = subprocess.run([sys.executable, os.path.join(HERE, "simtv.py"), "--host", host, "--port", "0"],
                               capture_output=True, timeout=30)
            self.assertNotEqual(r.returncode, 0, host)
            self.assertIn(b"loopback", r.stderr, host)

    def test_answers_a_search_on_port_5555_of_its_own_address(self):
        # Two TVs from the same first address: the second takes the next free one.
        hello = w.pack(w.A_CNXN, w.VERSION_OLD, w.MAX_PAYLOAD_OLD, b"host::\0")
        with tempfile.TemporaryDirectory() as tmp:
            config = os.path.join(tmp, "tv.json")
            with open(config, "w") as f:
                json.dump({"product": {"name": "mitv", "model": "MiTV-4A", "device": "m4"}}, f)
            tvs, addresses = [], []
            try:
                for i, mode in enumerate(("online", "unauthorized")):
                    path = os.path.join(tmp, "address%d" % i)
                    tvs.append(subprocess.Popen(
                        [sys.executable, os.path.join(HERE, "simtv.py"), "--host", "127.0.0.81", "--port", "5555",
                         "--next-free-host", "--address-file", path, "--mode", mode, "--config", config],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
                    for _ in range(200):
                        if os.path.exists(path) or tvs[-1].poll() is not None:
                            break
                        time.sleep(0.05)
                    with open(path) as f:
                        addresses.append(f.read().strip())
                self.assertNotEqual(addresses[0], addresses[1])
                answers = []
                for address in addresses:
                    host, port = address.split(":")
                    self.assertEqual("5555", port)
                    self.assertTrue(host.startswith("127.0.0."))
                    with socket.create_connection((host, 5555), timeout=5) as s:
                        s.sendall(hello)
                        answers.append(w.read_message(s))
                command, _, _, banner = answers[0]
                self.assertEqual(w.A_CNXN, command)
                self.assertTrue(banner.startswith(b"device::ro.product.name=mitv;ro.product.model=MiTV-4A;"))
                command, arg0, _, token = answers[1]
                self.assertEqual((w.A_AUTH, w.AUTH_TOKEN, 20), (command, arg0, len(token)))
            finally:
                for tv in tvs:
                    tv.kill()
                    tv.wait()

    def test_stops_by_itself(self):
        start = time.monotonic()
        r = subprocess.run([sys.executable, os.path.join(HERE, "simtv.py"), "--port", "0",
                            "--idle-timeout", "1"], capture_output=True, timeout=30)
        self.assertEqual(r.returncode, 0)
        self.assertLess(time.monotonic() - start, 10)


if __name__ == "__main__":
    unittest.main(verbosity=2)
