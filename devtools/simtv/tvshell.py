"""The TV's side of things: its files, installed packages and a small shell
that understands what is sent to an older Android TV box (busybox df, grep
and awk pipelines, pm install/uninstall and install sessions, rm, getprop,
ls, cat, echo)."""
import hashlib
import io
import re
import threading
import time
import zipfile

import apkmanifest

SH = "/system/bin/sh"
DIRS = {"/", "/data", "/data/local", "/data/local/tmp", "/data/app", "/system",
        "/mnt", "/mnt/sdcard", "/sdcard", "/data/sdext2", "/dev", "/cache"}


class ShellSyntaxError(Exception):
    pass


class Stdin(str):
    """Standard input of a command run through adb's exec: service: empty
    text to the commands that read text, and read_exact(count) for the bytes
    the host streams after the command line (pm install-write ... -)."""

    def __new__(cls, read_exact):
        text = super().__new__(cls, "")
        text.read_exact = read_exact
        return text


# ---------------------------------------------------------------- parsing

def tokenize(line, env):
    """Splits a command line into words, the operators | ; && || and the
    redirections < > >> 2> 2>> 2>&1.
    Quotes and backslashes work as in a POSIX shell; $NAME expands from env
    outside single quotes. Returns a list of ("word", text) / ("op", text)."""
    tokens, word, in_word, i, n = [], [], False, 0, len(line)

    def expand(j):
        m = re.match(r"\$(\{([A-Za-z_][A-Za-z0-9_]*)\}|([A-Za-z_][A-Za-z0-9_]*|[0-9#$]))", line[j:])
        if not m:
            return "$", j + 1
        name = m.group(2) or m.group(3)
        return env.get(name, ""), j + m.end()

    while i < n:
        c = line[i]
        if c in " \t\n":
            if in_word:
                tokens.append(("word", "".join(word)))
                word, in_word = [], False
            i += 1
        elif c in "<>" or (c == "2" and not in_word and line[i + 1:i + 2] == ">"):
            if in_word:
                tokens.append(("word", "".join(word)))
                word, in_word = [], False
            m = re.match(r"2>&1|2>>?|>>?|<", line[i:])
            tokens.append(("redir", m.group(0)))
            i += m.end()
        elif c in "|;&":
            if in_word:
                tokens.append(("word", "".join(word)))
                word, in_word = [], False
            two = line[i:i + 2]
            if two in ("&&", "||"):
                tokens.append(("op", two))
                i += 2
            elif c == "&":
                raise ShellSyntaxError("background jobs are not supported")
            else:
                tokens.append(("op", c))
                i += 1
        elif c == "'":
            end = line.find("'", i + 1)
            if end < 0:
                raise ShellSyntaxError("unterminated quoted string")
            word.append(line[i + 1:end])
            in_word, i = True, end + 1
        elif c == '"':
            i += 1
            in_word = True
            while True:
                if i >= n:
                    raise ShellSyntaxError("unterminated quoted string")
                c = line[i]
                if c == '"':
                    i += 1
                    break
                if c == "\\" and i + 1 < n and line[i + 1] in '"\\$`':
                    word.append(line[i + 1])
                    i += 2
                elif c == "$":
                    text, i = expand(i)
                    word.append(text)
                else:
                    word.append(c)
                    i += 1
        elif c == "\\":
            if i + 1 < n:
                word.append(line[i + 1])
            in_word, i = True, i + 2
        elif c == "$":
            text, i = expand(i)
            word.append(text)
            in_word = True
        else:
            word.append(c)
            in_word, i = True, i + 1
    if in_word:
        tokens.append(("word", "".join(word)))
    return tokens


def parse(line, env):
    """Returns a list of (connector, pipeline); a pipeline is a list of
    (argv, redirections); connector is None, ";", "&&" or "||" (how it joins
    the previous); a redirection is (operator, file)."""
    items, pipeline, argv, redirs, connector = [], [], [], [], None
    tokens = tokenize(line, env) + [("op", ";")]
    k = 0
    while k < len(tokens):
        kind, text = tokens[k]
        k += 1
        if kind == "word":
            argv.append(text)
            continue
        if kind == "redir":
            if text == "2>&1":
                continue
            if k >= len(tokens) or tokens[k][0] != "word":
                raise ShellSyntaxError("syntax error: redirection without a file")
            redirs.append((text, tokens[k][1]))
            k += 1
            continue
        if not argv:
            if text == ";" and not pipeline and not redirs:
                continue
            raise ShellSyntaxError("syntax error: '%s' unexpected" % text)
        pipeline.append((argv, redirs))
        argv, redirs = [], []
        if text != "|":
            items.append((connector, pipeline))
            pipeline, connector = [], text
    return items


# ---------------------------------------------------------------- sizes

UNITS = {"": 1, "K": 1024, "M": 1024 ** 2, "G": 1024 ** 3, "T": 1024 ** 4}


def size_bytes(text):
    m = re.match(r"^\s*([0-9.]+)\s*([KMGT]?)", str(text))
    return float(m.group(1)) * UNITS[m.group(2)] if m else 0.0


def human(size):
    """A byte count the way busybox df -h prints it: 200.4M, 1.2G, 32.0K."""
    for unit in "KMGT":
        size /= 1024.0
        if size < 1024 or unit == "T":
            return "%.1f%s" % (size, unit)
    return "0"


# ---------------------------------------------------------------- the TV

class Tv:
    """Files, packages and the shell of one simulated TV. Thread-safe."""

    def __init__(self, config, log):
        self.config = config
        self.log = log
        self.lock = threading.Lock()
        self.files = {}
        self.dirs = set(DIRS)
        self.packages = {}
        self.sessions, self.next_session = {}, 1001
        self.preinstalled_as = {}
        self.apply_preinstalled()

    def apply_preinstalled(self):
        """Puts each "preinstalled" package on the TV as configured (version
        from "installed_versions", key from "signatures"), when first named
        so: a later uninstall or install holds until its entry changes."""
        versions = self.config.get("installed_versions", {})
        with self.lock:
            for name in self.config.get("preinstalled", []):
                code, version = versions.get(name, [1, "1.0"])
                configured = (int(code), str(version), self.config.get("signatures", {}).get(name, "ours"))
                if self.preinstalled_as.get(name) == configured:
                    continue
                self.preinstalled_as[name] = configured
                self.packages[name] = {"location": "internal", "sha256": None, "version_code": configured[0],
                                       "version_name": configured[1], "key": configured[2]}

    # files -------------------------------------------------------------
    def stored_bytes(self):
        return sum(len(f["data"]) for f in self.files.values())

    def store_file(self, path, data, mode):
        """Keeps a pushed file; returns an error text or None."""
        limit = int(self.config.get("max_stored_bytes", 512 * 1024 * 1024))
        with self.lock:
            old = len(self.files.get(path, {}).get("data", b""))
            if path in self.dirs:
                return "Is a directory"
            if self.stored_bytes() - old + len(data) > limit:
                return "No space left on device"
            self.files[path] = {"data": data, "mode": mode, "mtime": int(time.time())}
            parent = path.rsplit("/", 1)[0]
            while parent:
                self.dirs.add(parent)
                parent = parent.rsplit("/", 1)[0]
        return None

    def start_file(self, path, mode):
        """A push begins: the file is made anew, empty (adbd unlinks the old
        one and creates it), and grows with grow_file as its pieces arrive,
        visible to other connections meanwhile. Returns (error text or None,
        the file's entry, which grow_file and end_file are given)."""
        with self.lock:
            if path in self.dirs:
                return "Is a directory", None
            entry = self.files[path] = {"data": bytearray(), "mode": mode, "mtime": int(time.time())}
            parent = path.rsplit("/", 1)[0]
            while parent:
                self.dirs.add(parent)
                parent = parent.rsplit("/", 1)[0]
        return None, entry

    def grow_file(self, path, entry, piece):
        """Appends a pushed piece; an error text when the storage is full. A
        file removed or pushed anew meanwhile is not this push's any more
        (adbd writes to the unlinked file)."""
        limit = int(self.config.get("max_stored_bytes", 512 * 1024 * 1024))
        with self.lock:
            f = self.files.get(path)
            if f is None or f is not entry:
                return None
            if self.stored_bytes() + len(piece) > limit:
                return "No space left on device"
            f["data"].extend(piece)
        return None

    def end_file(self, path, entry, keep):
        """The push ended: the file is kept whole, or removed (a failed push)."""
        with self.lock:
            f = self.files.get(path)
            if f is not None and f is entry:
                if keep:
                    f["data"] = bytes(f["data"])
                else:
                    del self.files[path]

    def stat(self, path):
        """(mode, size, mtime); zeros for a missing path."""
        path = path.rstrip("/") or "/"
        with self.lock:
            if path in self.dirs:
                return 0o40771, 4096, 0
            f = self.files.get(path)
            if f:
                return 0o100000 | (f["mode"] & 0o7777), len(f["data"]), f["mtime"]
        return 0, 0, 0

    def read_file(self, path):
        with self.lock:
            f = self.files.get(path)
            return f["data"] if f else None

    def list_dir(self, path):
        prefix = path.rstrip("/") + "/"
        with self.lock:
            names = {p[len(prefix):].split("/")[0]
                     for p in list(self.files) + list(self.dirs)
                     if p.startswith(prefix) and p != prefix}
        return sorted(n for n in names if n)

    # shell -------------------------------------------------------------
    def sdk(self):
        return int(self.config.get("sdk", 19))

    def run(self, line, read_exact=None):
        """Runs one shell command line; returns (output text, exit code).
        Standard output and error share the text, as on a terminal.
        read_exact: the host's bytes after the command line (exec:)."""
        self.log.event("shell", command=line)
        delay = float(self.config.get("delays", {}).get("shell", 0))
        if delay:
            time.sleep(delay)
        env = {"PATH": "/sbin:/system/sbin:/system/bin:/system/xbin"}
        try:
            items = parse(line, env)
        except ShellSyntaxError as err:
            return "%s: %s\n" % (SH, err), 2
        output, code = [], 0
        for connector, pipeline in items:
            if (connector == "&&" and code != 0) or (connector == "||" and code == 0):
                continue
            data = Stdin(read_exact) if read_exact else ""
            for argv, redirs in pipeline:
                data, code = self.redirected(argv, redirs, data)
            output.append(data)
        return "".join(output), code

    def redirected(self, argv, redirs, stdin):
        """Runs one command with its redirections. Standard error stays on
        the terminal with standard output, so 2> only names a file."""
        sink = None
        for op, path in redirs:
            if op == "<":
                if path == "/dev/null":
                    stdin = ""
                else:
                    data = self.read_file(path)
                    if data is None:
                        return "%s: can't open %s\n" % (SH, path), 1
                    stdin = data.decode("utf-8", "replace")
            elif op in (">", ">>"):
                sink = (op, path)
        out, code = self.command(argv, stdin)
        if sink is None:
            return out, code
        op, path = sink
        if path != "/dev/null":
            old = (self.read_file(path) or b"") if op == ">>" else b""
            error = self.store_file(path, old + out.encode("utf-8"), 0o666)
            if error:
                return "%s: can't create %s: %s\n" % (SH, path, error), 1
        return "", code

    def command(self, argv, stdin):
        name, args = argv[0], argv[1:]
        if name == "busybox":
            if not self.config.get("busybox", True):
                return "%s: busybox: not found\n" % SH, 127
            if not args:
                return "BusyBox v1.16.1 (2011-03-18 10:12:30 CST) multi-call binary.\n", 0
            name, args = args[0], args[1:]
            applet = BUSYBOX.get(name)
            if applet is None:
                return "%s: applet not found\n" % name, 127
            return applet(self, args, stdin)
        handler = TOOLBOX.get(name)
        if handler is None:
            return "%s: %s: not found\n" % (SH, name), 127
        return handler(self, args, stdin)

    # package manager ---------------------------------------------------
    def pm(self, args, stdin):
        if not args:
            return "usage: pm [list|path|install|uninstall]\n", 1
        verb, rest = args[0], args[1:]
        if verb == "install":
            return self.pm_install(rest, stdin)
        # Install sessions (split packages) came with Android 5.0.
        if verb in SESSION_VERBS and self.sdk() >= 21:
            return SESSION_VERBS[verb](self, rest, stdin)
        if verb == "uninstall":
            return self.pm_uninstall(rest)
        if verb == "list" and rest[:1] == ["packages"]:
            with self.lock:
                return "".join("package:%s\n" % p for p in sorted(self.packages)), 0
        if verb == "path" and rest:
            with self.lock:
                entry = self.packages.get(rest[0])
            if not entry:
                return "", 1
            return "package:%s\n" % entry.get("path", "/system/app/%s.apk" % rest[0]), 0
        return "Error: unknown command '%s'\n" % verb, 1

    def replace_reason(self, package, version_code, replace, downgrade):
        """Why an install over the installed copy of package is refused, or
        None (call with the lock held): without -r, a copy already there; a
        lower version code without -d (from Android 7, -d too: the packages
        here are not debuggable); a preinstalled copy signed with another key
        (config "signatures": {package: "other"}) until it is uninstalled."""
        entry = self.packages.get(package)
        if entry is None:
            return None
        if not replace and self.config.get("reinstall", "fail") == "fail":
            return "INSTALL_FAILED_ALREADY_EXISTS"
        if entry.get("key", "ours") != "ours":
            return ("INSTALL_FAILED_UPDATE_INCOMPATIBLE: Package %s signatures do not match "
                    "the previously installed version; ignoring!" % package)
        if version_code is not None and version_code < entry.get("version_code", 0):
            if not downgrade or self.sdk() >= 24:
                return "INSTALL_FAILED_VERSION_DOWNGRADE"
        return None

    def dumpsys(self, args):
        """dumpsys package <name>: the package's block, worded as the TV's
        Android version words it; nothing of it for a package not there."""
        if args[:1] != ["package"] or len(args) < 2:
            return "Can't find service: %s\n" % (args[0] if args else ""), 0
        name = args[1]
        with self.lock:
            entry = dict(self.packages.get(name) or {})
        out = "Activity Resolver Table:\n  Non-Data Actions:\n\n"
        if not entry:
            return out + "Dexopt state:\n\n", 0
        code, version = entry.get("version_code", 1), entry.get("version_name", "1.0")
        sdks = "targetSdk=17" if self.sdk() < 24 else "minSdk=21 targetSdk=28"
        return out + ("Packages:\n  Package [%s] (41a5e2d8):\n    userId=10052\n"
                      "    codePath=%s\n    versionCode=%d %s\n    versionName=%s\n"
                      "    flags=[ HAS_CODE ALLOW_CLEAR_USER_DATA ALLOW_BACKUP ]\n") % (
            name, entry.get("path", "/system/app/%s.apk" % name), code, sdks, version), 0

    def pm_install(self, args, stdin):
        location, replace, path, size, i = "internal", False, None, 0, 0
        downgrade = False
        while i < len(args):
            a = args[i]
            if a == "-S" and i + 1 < len(args):
                size, i = number(args[i + 1]), i + 1
            elif a == "-s":
                location = "sdcard"
            elif a == "-f":
                location = "internal"
            elif a == "-r":
                replace = True
            elif a == "-d":
                downgrade = True
            elif a == "-i":
                i += 1
            elif a.startswith("-") and a != "-":
                pass
            else:
                path = a
            i += 1
        if path is None and size:
            path = "-"  # streamed: pm reads the package from its input
        if path is None:
            return "Error: no package specified\n", 1
        delay = float(self.config.get("delays", {}).get("install", 0))
        if delay:
            time.sleep(delay)
        data = self.read_input(path, size, stdin)
        digest = hashlib.sha256(data).hexdigest() if data is not None else None
        attrs = apkmanifest.attributes(data) if data is not None else {}
        package = attrs.get("package") or None
        failures = self.config.get("failures", {})
        mounts = {m.get("mounted_on") for m in self.config.get("mounts", [])}
        with self.lock:
            if data is None:
                reason = "INSTALL_FAILED_INVALID_URI"
            elif package is None:
                reason = "INSTALL_PARSE_FAILED_NOT_APK"
            else:
                reason = failures.get("install") or failures.get("install_" + location)
                if not reason and location == "sdcard" and "/mnt/sdcard" not in mounts:
                    reason = "INSTALL_FAILED_MEDIA_UNAVAILABLE"
                if not reason:
                    reason = self.replace_reason(package, number_or_none(attrs.get("versionCode")),
                                                 replace, downgrade)
            if not reason:
                self.packages[package] = {"location": location, "sha256": digest,
                                          "path": "/data/app/%s-1.apk" % package, "key": "ours",
                                          "version_code": number_or_none(attrs.get("versionCode")) or 1,
                                          "version_name": attrs.get("versionName", "1.0")}
        result = "Failure [%s]" % reason if reason else "Success"
        self.log.event("install", path=path, package=package, location=location,
                       size=len(data) if data is not None else None, sha256=digest,
                       result=result)
        if path == "-":  # cmd package install says only how it went
            return result + "\n", 0
        return "\tpkg: %s\n%s\n" % (path, result), 0

    def read_input(self, path, size, stdin):
        """A package named on the command line: a file on the TV, or with
        "-" size bytes streamed by the host; None when missing."""
        if path != "-":
            return self.read_file(path)
        read_exact = getattr(stdin, "read_exact", None)
        return read_exact(size) if read_exact and size > 0 else None

    def session_create(self, args, stdin):
        reason = self.config.get("failures", {}).get("install_create")
        if reason:
            return "Failure [%s]\n" % reason, 1
        with self.lock:
            session = self.next_session
            self.next_session += 1
            self.sessions[session] = {"location": "sdcard" if "-s" in args else "internal",
                                      "replace": "-r" in args, "downgrade": "-d" in args,
                                      "parts": []}
        return "Success: created install session [%d]\n" % session, 0

    def session_write(self, args, stdin):
        """install-write [-S SIZE] SESSION NAME [PATH|-]"""
        size = 0
        if args[:1] == ["-S"] and len(args) > 1:
            size, args = number(args[1]), args[2:]
        if len(args) < 2:
            return "Error: usage: pm install-write [-S BYTES] SESSION_ID SPLIT_NAME [PATH]\n", 1
        with self.lock:
            session, name = self.sessions.get(session_id(args)), args[1]
        data = self.read_input(args[2] if len(args) > 2 else "-", size, stdin)
        if session is None:
            return NO_SESSION % args[0], 1
        if data is None:
            return "Error: java.io.IOException: no data for %s\n" % name, 1
        reason = self.config.get("failures", {}).get("install_write")
        if reason:
            return "Failure [%s]\n" % reason, 1
        fields = {}
        try:
            with zipfile.ZipFile(io.BytesIO(data)) as z:
                fields = apkmanifest.manifest_attributes(z.read("AndroidManifest.xml"))
                fields["abis"] = sorted({n.split("/")[1] for n in z.namelist()
                                         if n.startswith("lib/") and n.count("/") >= 2})
        except (zipfile.BadZipFile, KeyError, ValueError, OSError, RuntimeError):
            pass
        with self.lock:
            session["parts"].append({
                "name": name, "size": len(data), "sha256": hashlib.sha256(data).hexdigest(),
                "package": fields.get("package"), "split": fields.get("split"),
                "version_code": fields.get("versionCode"), "version_name": fields.get("versionName"),
                "abis": fields.get("abis", [])})
        return "Success: streamed %d bytes\n" % len(data), 0

    def session_finish(self, args, stdin, commit=True):
        with self.lock:
            session = self.sessions.pop(session_id(args), None)
        if session is None:
            return NO_SESSION % " ".join(args[:1]), 1
        reason = self.commit_reason(session) if commit else None
        result = "Failure [%s]" % reason if reason else "Success"
        self.log.event("install_session", session=int(args[0]), location=session["location"],
                       replace=session["replace"], parts=session["parts"],
                       package=(session["parts"] or [{}])[0].get("package"),
                       state="committed" if commit else "abandoned", result=result)
        return result + "\n", 0

    def commit_reason(self, session):
        """Why the package manager refuses the parts of a session, or None
        once it installed them. Checks what a real one checks first."""
        delay = float(self.config.get("delays", {}).get("install", 0))
        if delay:
            time.sleep(delay)
        parts, location = session["parts"], session["location"]
        failures = self.config.get("failures", {})
        mounts = {m.get("mounted_on") for m in self.config.get("mounts", [])}
        bases = [p for p in parts if p["package"] and not p["split"]]
        splits = [p["split"] for p in parts if p["split"]]
        abis = {a for p in parts for a in p["abis"]}
        tv_abis = str(self.config.get("abilist", "")).split(",")
        bad = next((p for p in parts if not p["package"]), None)
        if failures.get("install") or failures.get("install_" + location):
            return failures.get("install") or failures.get("install_" + location)
        if location == "sdcard" and "/mnt/sdcard" not in mounts:
            return "INSTALL_FAILED_MEDIA_UNAVAILABLE"
        if bad:
            return "INSTALL_PARSE_FAILED_NOT_APK: Failed to parse %s" % bad["name"]
        if len(bases) != 1:
            return "INSTALL_FAILED_INVALID_APK: " + (
                "Full install must include a base package" if not bases
                else "Split null was defined multiple times")
        base = bases[0]
        for p in parts:
            for key, what in (("package", "package"), ("version_code", "version")):
                if p[key] != base[key]:
                    return "INSTALL_FAILED_INVALID_APK: Inconsistent %s %s in %s; expected %s" % (
                        what, p[key], p["name"], base[key])
        if len(set(splits)) != len(splits):
            return "INSTALL_FAILED_INVALID_APK: Split %s was defined multiple times" % next(
                s for s in splits if splits.count(s) > 1)
        if abis and not abis & set(tv_abis):
            return "INSTALL_FAILED_NO_MATCHING_ABIS: Failed to extract native libraries, res=-113"
        package = base["package"]
        with self.lock:
            reason = self.replace_reason(package, number_or_none(base["version_code"]),
                                         session["replace"], session.get("downgrade", False))
            if reason:
                return reason
            self.packages[package] = {"location": location, "sha256": base["sha256"],
                                      "path": "/data/app/%s-1/base.apk" % package,
                                      "splits": splits, "key": "ours",
                                      "version_code": number_or_none(base["version_code"]) or 1,
                                      "version_name": base.get("version_name") or "1.0"}
        return None

    def pm_uninstall(self, args):
        names = [a for a in args if not a.startswith("-")]
        if not names:
            return "Error: no package specified\n", 1
        package = names[0]
        delay = float(self.config.get("delays", {}).get("uninstall", 0))
        if delay:
            time.sleep(delay)
        reason = self.config.get("failures", {}).get("uninstall")
        with self.lock:
            if not reason and package not in self.packages:
                reason = "DELETE_FAILED_INTERNAL_ERROR"
            if not reason:
                del self.packages[package]
        result = "Failure [%s]" % reason if reason else "Success"
        self.log.event("uninstall", package=package, result=result)
        return result + "\n", 0


# ---------------------------------------------------------------- applets

NO_SESSION = "Error: java.lang.SecurityException: Caller has no access to session %s\n"


def number_or_none(text):
    try:
        return int(text)
    except (TypeError, ValueError):
        return None


def number(text):
    return int(text) if text.isdigit() else 0


def session_id(args):
    return int(args[0]) if args[:1] and args[0].isdigit() else -1


def _mounts(tv):
    return tv.config.get("mounts", [])


def df(tv, args, stdin):
    human_sizes = any(a.startswith("-") and "h" in a for a in args)
    wanted = [a for a in args if not a.startswith("-")]
    rows = [m for m in _mounts(tv) if not wanted or m.get("mounted_on") in wanted]
    if human_sizes:
        out = ["Filesystem                Size      Used Available Use% Mounted on\n"]
    else:
        out = ["Filesystem           1K-blocks      Used Available Use% Mounted on\n"]
    for m in rows:
        size, used, avail = (m.get(k, "0") for k in ("size", "used", "available"))
        total = size_bytes(size)
        percent = m.get("use") or "%d%%" % (round(100 * size_bytes(used) / total) if total else 0)
        if not human_sizes:
            size, used, avail = ("%d" % (size_bytes(v) // 1024) for v in (size, used, avail))
        fs = m.get("filesystem", "none")
        # busybox puts a name longer than its column on a line of its own.
        line = fs if len(fs) <= 20 else fs + "\n" + " " * 20
        out.append("%-20s %9s %9s %9s %4s %s\n" % (line, size, used, avail, percent,
                                                  m.get("mounted_on", "")))
    return "".join(out), 0


def toolbox_df(tv, args, stdin):
    out = ["Filesystem             Size   Used   Free   Blksize\n"]
    for m in _mounts(tv):
        out.append("%-20s %6s %6s %6s   4096\n" % (
            m.get("mounted_on", ""), m.get("size", ""), m.get("used", ""),
            m.get("available", "")))
    return "".join(out), 0


def bre_to_re(pattern):
    """Basic regular expression to Python's: +?|(){} are literal unless
    escaped, in which case they are operators."""
    out, i = [], 0
    while i < len(pattern):
        c = pattern[i]
        if c == "\\" and i + 1 < len(pattern):
            nxt = pattern[i + 1]
            out.append(nxt if nxt in "+?|(){}" else "\\" + nxt)
            i += 2
            continue
        out.append("\\" + c if c in "+?|(){}" else c)
        i += 1
    return "".join(out)


def grep(tv, args, stdin):
    invert = ignore = extended = fixed = count = quiet = False
    pattern, files = None, []
    for a in args:
        if a.startswith("-") and len(a) > 1 and pattern is None:
            for flag in a[1:]:
                invert |= flag == "v"
                ignore |= flag == "i"
                extended |= flag == "E"
                fixed |= flag == "F"
                count |= flag == "c"
                quiet |= flag == "q"
        elif pattern is None:
            pattern = a
        else:
            files.append(a)
    if pattern is None:
        return "BusyBox v1.16.1 multi-call binary.\n\nUsage: grep [-HhnlLoqvsriwFEz] [-m N] [-A/B/C N] PATTERN/-e PATTERN.../-f FILE [FILE]...\n", 1
    if fixed:
        regex = re.escape(pattern)
    else:
        regex = pattern if extended else bre_to_re(pattern)
    try:
        compiled = re.compile(regex, re.IGNORECASE if ignore else 0)
    except re.error:
        return "grep: bad regex '%s'\n" % pattern, 2
    text = stdin
    if files:
        data = tv.read_file(files[0])
        if data is None:
            return "grep: %s: No such file or directory\n" % files[0], 2
        text = data.decode("utf-8", "replace")
    hits = [ln for ln in text.splitlines() if bool(compiled.search(ln)) != invert]
    code = 0 if hits else 1
    if quiet:
        return "", code
    if count:
        return "%d\n" % len(hits), code
    return "".join(ln + "\n" for ln in hits), code


def awk(tv, args, stdin):
    """Only '{print ...}' programs of fields, which is all the TV is sent."""
    if not args:
        return "Usage: awk [OPTIONS] [AWK_PROGRAM] [FILE]...\n", 1
    m = re.match(r"^\s*\{\s*print\s*(.*?)\s*;?\s*\}\s*$", args[0])
    if not m:
        return "awk: cmd. line:1: Unsupported program\n", 1
    items = [x for x in re.split(r"\s*,\s*|\s+", m.group(1)) if x]
    for item in items:
        if not re.match(r"^\$(\d+|NF)$", item):
            return "awk: cmd. line:1: Unexpected token\n", 1
    out = []
    for line in stdin.splitlines():
        fields = line.split()
        values = []
        for item in items or ["$0"]:
            key = item[1:]
            if key == "NF":
                values.append(fields[-1] if fields else "")
            elif key == "0":
                values.append(line)
            else:
                k = int(key)
                values.append(fields[k - 1] if 0 < k <= len(fields) else "")
        out.append(" ".join(values) + "\n")
    return "".join(out), 0


def cat(tv, args, stdin):
    if not args:
        return stdin, 0
    out = []
    for path in args:
        data = tv.read_file(path)
        if data is None:
            return "".join(out) + "%s: No such file or directory\n" % path, 1
        out.append(data.decode("utf-8", "replace"))
    return "".join(out), 0


def echo(tv, args, stdin):
    if args[:1] == ["-n"]:
        return " ".join(args[1:]), 0
    return " ".join(args) + "\n", 0


def ls(tv, args, stdin):
    paths = [a for a in args if not a.startswith("-")] or ["/"]
    long_form = any(a.startswith("-") and "l" in a for a in args)
    out = []
    for path in paths:
        mode, size, mtime = tv.stat(path)
        if not mode:
            return "".join(out) + "%s: No such file or directory\n" % path, 1
        if mode & 0o40000:
            out.extend(name + "\n" for name in tv.list_dir(path))
        elif long_form:
            out.append(long_line(tv, path, mode, size, mtime))
        else:
            out.append(path + "\n")
    return "".join(out), 0


def long_line(tv, path, mode, size, mtime):
    """ls -l of a file as the TV's era prints it: toolbox before Android 6
    (no link count), toybox from it."""
    bits = "".join(c if mode & (1 << (8 - i)) else "-" for i, c in enumerate("rwxrwxrwx"))
    when = time.strftime("%Y-%m-%d %H:%M", time.localtime(mtime))
    if tv.sdk() < 23:
        return "-%s shell    shell    %8d %s %s\n" % (bits, size, when, path.rsplit("/", 1)[-1])
    return "-%s 1 shell shell %d %s %s\n" % (bits, size, when, path)


def stat(tv, args, stdin):
    """stat -c %s FILE, from Android 6 (toybox); before, there is no stat."""
    if tv.sdk() < 23:
        return "%s: stat: not found\n" % SH, 127
    paths = [a for a in args if not a.startswith("-") and a != "%s"]
    out, code = [], 0
    for path in paths:
        mode, size, _ = tv.stat(path)
        if not mode:
            out.append("stat: '%s': No such file or directory\n" % path)
            code = 1
        else:
            out.append("%d\n" % size)
    return "".join(out), code


def rm(tv, args, stdin):
    force = any(a.startswith("-") and "f" in a for a in args)
    code, out = 0, []
    for path in (a for a in args if not a.startswith("-")):
        with tv.lock:
            removed = tv.files.pop(path, None)
        if removed is None and not force:
            out.append("rm failed for %s, No such file or directory\n" % path)
            code = 1
    return "".join(out), code


def getprop(tv, args, stdin):
    product = tv.config.get("product", {})
    abis = str(tv.config.get("abilist", "armeabi-v7a,armeabi")).split(",")
    props = {
        "ro.product.name": product.get("name", "simtv"),
        "ro.product.model": product.get("model", "SimTV"),
        "ro.product.device": product.get("device", "simtv"),
        "ro.build.version.sdk": str(tv.sdk()),
        "ro.build.version.release": str(tv.config.get("release", "4.4.2")),
        "ro.sf.lcd_density": str(tv.config.get("density", 240)),
        "ro.product.cpu.abi": abis[0],
    }
    # Before Android 5.0 there is no ABI list, only abi and abi2.
    if tv.sdk() >= 21:
        props["ro.product.cpu.abilist"] = ",".join(abis)
    elif len(abis) > 1:
        props["ro.product.cpu.abi2"] = abis[1]
    if args:
        return props.get(args[0], "") + "\n", 0
    return "".join("[%s]: [%s]\n" % kv for kv in sorted(props.items())), 0


def cmd(tv, args, stdin):
    """cmd package: the package manager's service, from Android 7.0."""
    if args[:1] != ["package"] or tv.sdk() < 24:
        return "%s: cmd: not found\n" % SH, 127
    return tv.pm(args[1:], stdin)


def sleep(tv, args, stdin):
    try:
        time.sleep(min(float(args[0]), 60.0) if args else 0)
    except ValueError:
        return "sleep: invalid number '%s'\n" % args[0], 1
    return "", 0


BUSYBOX = {"df": df, "grep": grep, "awk": awk, "cat": cat, "echo": echo,
           "ls": ls, "rm": rm, "sleep": sleep,
           "true": lambda tv, a, s: ("", 0), "false": lambda tv, a, s: ("", 1)}
SESSION_VERBS = {"install-create": Tv.session_create, "install-write": Tv.session_write,
                 "install-commit": Tv.session_finish,
                 "install-abandon": lambda tv, a, s: tv.session_finish(a, s, commit=False)}
TOOLBOX = {"df": toolbox_df, "cat": cat, "echo": echo, "ls": ls, "rm": rm,
           "getprop": getprop, "sleep": sleep, "pm": Tv.pm, "cmd": cmd, "stat": stat,
           "dumpsys": lambda tv, a, s: tv.dumpsys(a),
           "true": BUSYBOX["true"], "false": BUSYBOX["false"]}
