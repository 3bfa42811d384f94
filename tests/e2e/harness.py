#!/usr/bin/env python3
"""Runs the real Windows program under Wine + Xvfb and drives it from outside with sk720drive.

One Wine prefix per test run under the build folder (made by `prepare`, about 25 s), shared by the
scenarios of the run; each scenario starts its own Xvfb and wine server, resets the program's
registry key, and ends every process it started. usage:
  harness.py --build BUILD_DIR --source SOURCE_DIR prepare|cleanup
  harness.py --build BUILD_DIR --source SOURCE_DIR run SCENARIO...
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

KEY = r"HKCU\Software\Quorvia Ultrasonics\SK720ControlProgram\Settings"
COMPANY_KEY = r"HKCU\Software\Quorvia Ultrasonics"
SCREEN = (1280, 1024)


class Failure(Exception):
    pass


def end(process, seconds):
    if process and process.poll() is None:
        process.terminate()
        try:
            process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            process.kill()


class Session:
    """A Wine prefix, a display, the program and the driver."""

    def __init__(self, build, source, screen=SCREEN, root=None):
        self.build = os.path.abspath(build)
        self.source = os.path.abspath(source)
        self.root = os.path.abspath(root) if root else os.path.join(self.build, "e2e")
        self.prefix = os.path.join(self.root, "prefix")
        self.screen = screen
        self.program_exe = os.path.join(self.build, "SK720Control.exe")
        self.driver_exe = os.path.join(self.build, "tests", "e2e", "sk720drive.exe")
        self.cli_exe = os.path.join(self.build, "tools", "sk720.exe")
        self.work = os.path.join(self.root, "work")
        # HOME is our own: Wine links Documents to it, so the program's working folder stays here.
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", TMPDIR=os.path.join(self.root, "tmp"),
                        HOME=os.path.join(self.root, "home"), LC_ALL="C.UTF-8")
        self.xvfb = None
        self.program = None
        self.program_log = None
        self.helpers = []

    # --- prefix, display, server -------------------------------------------------------------
    def prepare(self):
        for d in ("tmp", "home"):
            os.makedirs(os.path.join(self.root, d), exist_ok=True)
        subprocess.run([os.path.join(self.source, "scripts", "wine-prefix"), self.root],
                       env=self.env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)

    def start(self):
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            self.prepare()
        os.makedirs(self.work, exist_ok=True)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % self.screen,
             "-nolisten", "tcp"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as f:
            number = f.readline().strip()  # written once the server listens
        if not number:
            raise Failure("Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()
        subprocess.run(["wineserver", "-p", "120"], env=self.env, stderr=subprocess.DEVNULL)
        # Wine's background services come up with the first program; keep them off our pipes.
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def stop(self):
        for p in self.helpers:
            end(p, 5)
        self.helpers = []
        end(self.program, 1)  # the program under Wine ends with the server below
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, stderr=subprocess.DEVNULL)
        end(self.xvfb, 5)
        if self.program_log:
            self.program_log.close()
            self.program_log = None

    def wine(self, args, timeout=60, check=True):
        r = subprocess.run(["wine"] + args, env=self.env, stdin=subprocess.DEVNULL,
                           capture_output=True, timeout=timeout)
        if check and r.returncode != 0:
            raise Failure("wine %s: exit %d %s" % (" ".join(args), r.returncode,
                                                   r.stderr.decode(errors="replace")[-300:]))
        return r

    # --- paths --------------------------------------------------------------------------------
    @staticmethod
    def windows_path(path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def unix_path(self, path):
        drive, rest = path[0].lower(), path[2:].replace("\\", "/")
        return os.path.join(self.prefix, "dosdevices", drive + ":") + rest

    def documents(self):
        return os.path.join(self.root, "home")

    # --- registry -----------------------------------------------------------------------------
    def set_values(self, values, reset=False):
        """Stores the settings (str: REG_SZ, bytes: REG_BINARY, int: REG_DWORD) in one import;
        with reset, the company's key and the data folder go first."""
        lines = ["Windows Registry Editor Version 5.00", ""]
        if reset:
            lines += ["[-HKEY_CURRENT_USER" + COMPANY_KEY[4:] + "]", ""]
            shutil.rmtree(os.path.join(self.documents(), "SK720_DATA"), ignore_errors=True)
        if values:
            lines.append("[HKEY_CURRENT_USER" + KEY[4:] + "]")
        for name, v in values.items():
            if isinstance(v, str):
                text = '"%s"' % v.replace("\\", "\\\\").replace('"', '\\"')
            elif isinstance(v, bytes):
                text = "hex:" + ",".join("%02x" % b for b in v)
            else:
                text = "dword:%08x" % v
            lines.append('"%s"=%s' % (name, text))
        path = os.path.join(self.root, "settings.reg")
        with open(path, "w", encoding="utf-16") as f:
            f.write("\r\n".join(lines) + "\r\n")
        self.wine(["reg", "import", self.windows_path(path)])

    def reset_settings(self, **values):
        self.set_values(values, reset=True)

    def set_string(self, name, value):
        self.set_values({name: value})

    def set_binary(self, name, data):
        self.set_values({name: data})

    def values(self, key=KEY):
        """Every stored setting: str for strings, bytes for binaries, int for DWORDs."""
        r = self.wine(["reg", "query", key], check=False)
        out = {}
        for line in r.stdout.decode("utf-8", errors="replace").splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                value = parts[2] if len(parts) > 2 else ""
                out[parts[0]] = (bytes.fromhex(value) if parts[1] == "REG_BINARY" else
                                 int(value, 16) if parts[1] == "REG_DWORD" else value)
        return out

    def query(self, name):
        return self.values().get(name)

    def wait_values(self, predicate, timeout=10):
        """The stored settings once predicate(settings) holds, or as they are at the deadline."""
        deadline = time.monotonic() + timeout
        while True:
            v = self.values()
            if predicate(v) or time.monotonic() > deadline:
                return v
            time.sleep(0.3)

    def wait_value(self, name, timeout=10, predicate=lambda v: v is not None):
        return self.wait_values(lambda v: predicate(v.get(name)), timeout).get(name)

    # --- the program and the driver -----------------------------------------------------------
    def launch(self, *args):
        """Starts the program with the arguments and waits for its main window."""
        self.program_log = open(os.path.join(self.root, "program.log"), "wb")
        self.program = subprocess.Popen(["wine", self.program_exe] + list(args), env=self.env,
                                        stdin=subprocess.DEVNULL, stdout=self.program_log,
                                        stderr=self.program_log)
        if self.drive("wait-window", timeout_ms=30000)[0] != 0:
            raise Failure("the main window did not appear (exit %s)" % self.program.poll())

    def quit(self, timeout=15):
        """Closes the main window and waits for the process to end; returns its exit code."""
        self.drive("close")
        try:
            return self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %d s of WM_CLOSE" % timeout)

    def drive(self, *args, timeout_ms=None):
        cmd = ["wine", self.driver_exe] + list(args)
        if timeout_ms is not None:
            cmd += ["--timeout", str(timeout_ms)]
        r = subprocess.run(cmd, env=self.env, stdin=subprocess.DEVNULL, capture_output=True,
                           timeout=120)
        out = r.stdout.decode("utf-8", errors="replace").rstrip("\n")
        if os.environ.get("SK720_E2E_VERBOSE"):
            print("  drive %s -> %d %r" % (" ".join(args), r.returncode, out))
        return r.returncode, out

    def must(self, *args, timeout_ms=None, what=None):
        rc, out = self.drive(*args, timeout_ms=timeout_ms)
        if rc != 0:
            raise Failure("%s: sk720drive %s gave %d %r" % (what or "driver", " ".join(args), rc, out))
        return out

    # --- simulated head and GPS receiver on COM ports ----------------------------------------
    def native_cli(self):
        path = os.environ.get("SK720_NATIVE_CLI") or os.path.join(
            os.path.dirname(self.build), "native", "tools", "sk720")
        return path if os.path.exists(path) else None

    def spawn(self, args, log_name):
        """A helper process that stop() ends."""
        log = open(os.path.join(self.root, log_name), "wb")
        p = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self.helpers.append(p)
        return p

    def register_com(self, number):
        """Lists COMn in the port key, which does not learn of a linked device by itself."""
        self.wine(["reg", "add", r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM", "/v",
                   r"\Device\Serial%d" % number, "/t", "REG_SZ", "/d", "COM%d" % number, "/f"])

    def simulator(self, kind, com, *options):
        """`sk720 headsim` or `gpssim` (native) on a pseudo-terminal linked as COMn."""
        cli = self.native_cli()
        if not cli:
            raise Failure("the native sk720 is needed for the simulators (build/native)")
        link = os.path.join(self.prefix, "dosdevices", "com%d" % com)
        if os.path.lexists(link):
            os.remove(link)
        p = self.spawn([cli, kind, "--pty", link] + list(options), "%s-com%d.log" % (kind, com))
        deadline = time.monotonic() + 10
        while not os.path.lexists(link):
            if p.poll() is not None or time.monotonic() > deadline:
                raise Failure("%s did not link COM%d" % (kind, com))
            time.sleep(0.05)
        self.register_com(com)
        return p

    def synth(self, path, *options):
        """A synthesised recording, written by the native companion when built, else sk720.exe."""
        if self.native_cli():
            subprocess.run([self.native_cli(), "synth", path] + list(options), check=True,
                           stdout=subprocess.DEVNULL)
        else:
            self.wine([self.cli_exe, "synth", self.windows_path(path)] + list(options),
                      timeout=120)
        return path

    def render(self, out, *args):
        """`sk720 render ARGS -o OUT` by the native companion."""
        subprocess.run([self.native_cli(), "render"] + list(args) + ["-o", out], check=True,
                       stdout=subprocess.DEVNULL)
        return out


def read_png(path):
    """(width, height, rows of (r, g, b) tuples) of a PNG, decoded by GDAL."""
    with tempfile.TemporaryDirectory() as work:
        raw = os.path.join(work, "picture.raw")
        subprocess.run(["gdal_translate", "-q", "-of", "ENVI", "-co", "INTERLEAVE=BIP", path, raw],
                       check=True)
        with open(os.path.join(work, "picture.hdr")) as f:
            header = dict(line.replace(" ", "").split("=", 1) for line in f if "=" in line)
        with open(raw, "rb") as f:
            data = f.read()
    w, h, n = (int(header[k]) for k in ("samples", "lines", "bands"))
    return w, h, [[tuple(data[i:i + 3]) for i in range(y * w * n, (y + 1) * w * n, n)]
                  for y in range(h)]


def sonar_record(**fields):
    """The 72-byte SonarSettings record: the store's defaults with the given fields replaced."""
    names = ["formatTag", "rangeIndex", "pulseType", "cwLengthIndex", "pulseVariant",
             "sectorEnabled", "sectorHeadingIndex", "sectorWidthIndex", "stepIndex",
             "rotationIndex", "gainIndex", "reserved44", "reserved48", "tvgSlope", "reserved56",
             "headUp", "centralFrequency", "bandwidth"]
    values = dict(zip(names, [1, 6, -1, 1, 0, 0, 0, 0, 1, 0, 5, 0, 0, 80, 0, 0, 860000, 80000]))
    values.update(fields)
    return struct.pack("<18i", *(values[n] for n in names))


def view_record(**fields):
    """The 84-byte ViewDialogBinV3 record: the start-up defaults with the given fields replaced."""
    names = ["displayEnabled", "palette", "reservedScale", "gainIndex", "deadZoneIndex", "grid",
             "autoContrast", "contrast", "brightness", "linear", "pointer", "echogram",
             "fitToWindow", "hold", "reserved56", "compassEnabled", "zeroAlwaysUp", "showInfo",
             "playbackContinuously", "zeroOffset", "toolbarVisible"]
    values = dict(zip(names, [1, 0, 1.0, 1, 3, 1, 0, 5, 3, 1, 1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 1]))
    values.update(fields)
    return struct.pack("<2if18i", *(values[n] for n in names))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("action", choices=["prepare", "cleanup", "run"])
    parser.add_argument("scenarios", nargs="*")
    a = parser.parse_args()
    session = Session(a.build, a.source)
    if a.action == "prepare":
        session.prepare()
        return 0
    if a.action == "cleanup":
        subprocess.run(["wineserver", "-k"], env=session.env, stderr=subprocess.DEVNULL)
        return 0
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    import live_measured
    import live_scenarios
    import scenarios
    import scenarios_screenshots
    table = dict(scenarios.ALL, **scenarios_screenshots.ALL, **live_scenarios.LIVE,
                 **live_measured.MEASURED)
    failed = 0
    for name in a.scenarios:
        fn = table[name]
        start = time.monotonic()
        try:
            session.start()
            session.reset_settings()
            fn(session)
            print("PASS %s (%.1f s)" % (name, time.monotonic() - start))
        except Exception as e:  # scenarios raise the importable module's Failure, not __main__'s
            failed += 1
            print("FAIL %s (%.1f s): %s" % (name, time.monotonic() - start, e))
        finally:
            session.stop()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
