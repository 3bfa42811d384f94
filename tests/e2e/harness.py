#!/usr/bin/env python3
"""Runs the real Windows program under Wine + Xvfb and drives it from outside with sk720drive.

One Wine prefix per test run under the build folder (made by `prepare`, about 25 s), shared by the
scenarios of the run; each scenario starts its own Xvfb and wine server, resets the program's
registry key, and ends every process it started. usage:
  harness.py --build BUILD_DIR --source SOURCE_DIR prepare|cleanup
  harness.py --build BUILD_DIR --source SOURCE_DIR run SCENARIO...
"""
import argparse
import importlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from subprocess import DEVNULL

KEY = r"HKCU\Software\Quorvia Ultrasonics\SK720ControlProgram\Settings"
COMPANY_KEY = r"HKCU\Software\Quorvia Ultrasonics"
SCREEN = (1280, 1024)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def poll(get, ok, seconds, pause=0.3):
    """get() until ok(its value) or the seconds have passed; the last value."""
    deadline = time.monotonic() + seconds
    while True:
        v = get()
        if ok(v) or time.monotonic() > deadline:
            return v
        time.sleep(pause)


def wait(condition, seconds, what, pause=0.3):
    """Polls condition until it holds; Failure(what, or what() to say what was seen) after the
    seconds."""
    if not poll(condition, bool, seconds, pause):
        raise Failure(what() if callable(what) else what)


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
        self.build, self.source = os.path.abspath(build), os.path.abspath(source)
        self.root = os.path.abspath(root) if root else os.path.join(self.build, "e2e")
        self.prefix = os.path.join(self.root, "prefix")
        self.screen = screen
        self.program_exe = os.path.join(self.build, "SK720Control.exe")
        self.driver_exe = os.path.join(self.build, "tests", "e2e", "sk720drive.exe")
        self.cli_exe = os.path.join(self.build, "tools", "sk720.exe")
        self.work = os.path.join(self.root, "work")
        native = os.environ.get("SK720_NATIVE_CLI") or os.path.join(
            os.path.dirname(self.build), "native", "tools", "sk720")
        self.native_cli = native if os.path.exists(native) else None  # the companion built here
        # HOME is our own: Wine links Documents to it, so the program's working folder stays here.
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", TMPDIR=os.path.join(self.root, "tmp"),
                        HOME=os.path.join(self.root, "home"), LC_ALL="C.UTF-8")
        self.xvfb = self.program = self.program_log = None
        self.helpers = []

    # --- prefix, display, server -------------------------------------------------------------
    def prepare(self):
        os.makedirs(os.path.join(self.root, "home"), exist_ok=True)  # wine-prefix makes tmp
        subprocess.run([os.path.join(self.source, "scripts", "wine-prefix"), self.root],
                       env=self.env, check=True, stdout=DEVNULL, stderr=DEVNULL)
        self.server("-k")

    def server(self, *args):
        subprocess.run(["wineserver", *args], env=self.env, stderr=DEVNULL)

    def start(self):
        if not os.path.exists(os.path.join(self.prefix, "system.reg")):
            self.prepare()
        os.makedirs(self.work, exist_ok=True)
        read_fd, write_fd = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                      "%dx%dx24" % self.screen, "-nolisten", "tcp"],
                                     pass_fds=(write_fd,), stdout=DEVNULL, stderr=DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd, "rb") as f:
            number = f.readline().strip()  # written once the server listens
        check(number, "Xvfb did not start")
        self.env["DISPLAY"] = ":" + number.decode()
        self.server("-p", "120")
        # Wine's background services come up with the first program; keep them off our pipes.
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, stdin=DEVNULL, stdout=DEVNULL,
                       stderr=DEVNULL, timeout=120)

    def stop(self):
        for p in self.helpers:
            end(p, 5)
        self.helpers = []
        end(self.program, 1)  # the program under Wine ends with the server below
        self.server("-k")
        self.server("-w")
        end(self.xvfb, 5)
        if self.program_log:  # closing twice is harmless
            self.program_log.close()

    def wine(self, args, timeout=60, check=True):
        r = subprocess.run(["wine", *args], env=self.env, stdin=DEVNULL, capture_output=True,
                           timeout=timeout)
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

    def folder(self, name):
        """A folder of the name in the work folder, made when missing."""
        os.makedirs(os.path.join(self.work, name), exist_ok=True)
        return os.path.join(self.work, name)

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
        lines += ['"%s"=%s' % (name, '"%s"' % v.replace("\\", "\\\\").replace('"', '\\"')
                                 if isinstance(v, str) else "hex:" + v.hex(",")
                                 if isinstance(v, bytes) else "dword:%08x" % v)
                  for name, v in values.items()]
        path = os.path.join(self.root, "settings.reg")
        open(path, "w", encoding="utf-16").write("\r\n".join(lines) + "\r\n")
        self.wine(["reg", "import", self.windows_path(path)])

    def reset_settings(self, **values):
        self.set_values(values, reset=True)

    def values(self, key=KEY):
        """Every stored setting: str for strings, bytes for binaries, int for DWORDs."""
        out = {}
        for line in self.wine(["reg", "query", key], check=False).stdout.decode(
                "utf-8", errors="replace").splitlines():
            name, kind, value = (line.strip().split(None, 2) + ["", "", ""])[:3]
            if kind.startswith("REG_"):
                out[name] = (bytes.fromhex(value) if kind == "REG_BINARY" else
                             int(value, 16) if kind == "REG_DWORD" else value)
        return out

    def wait_values(self, predicate, what=None):
        """The stored settings once predicate(settings) holds, or as they are after 10 s (then
        Failure with what, when given)."""
        v = poll(self.values, predicate, 10)
        check(what is None or predicate(v), "%s: stored %r" % (what, v))
        return v

    # --- the program and the driver -----------------------------------------------------------
    def launch(self, *args):
        """Starts the program with the arguments and waits for its main window."""
        log = self.program_log = open(os.path.join(self.root, "program.log"), "wb")
        self.program = subprocess.Popen(["wine", self.program_exe, *args], env=self.env,
                                        stdin=DEVNULL, stdout=log, stderr=log)
        check(self.drive("wait-window", timeout_ms=30000)[0] == 0,
              "the main window did not appear (exit %s)" % self.program.poll())

    def quit(self, timeout=15):
        """Closes the main window and waits for the process to end; returns its exit code."""
        self.drive("close")
        try:
            return self.program.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %d s of WM_CLOSE" % timeout)

    def drive(self, *args, timeout_ms=None):
        r = self.wine([self.driver_exe, *args] + ([] if timeout_ms is None else
                                                  ["--timeout", str(timeout_ms)]), 120, False)
        out = r.stdout.decode("utf-8", errors="replace").rstrip("\n")
        if os.environ.get("SK720_E2E_VERBOSE"):
            print("  drive %s -> %d %r" % (" ".join(args), r.returncode, out))
        return r.returncode, out

    def must(self, *args, timeout_ms=None, what=None):
        rc, out = self.drive(*args, timeout_ms=timeout_ms)
        check(rc == 0, "%s: sk720drive %s gave %d %r" % (what or "driver", " ".join(args), rc, out))
        return out

    # --- simulated head and GPS receiver on COM ports ----------------------------------------
    def simulator(self, kind, com, *options):
        """`sk720 headsim` or `gpssim` (native) on a pseudo-terminal linked as COMn, listed in the
        port key (which does not learn of a linked device by itself); stop() ends it."""
        check(self.native_cli, "the native sk720 is needed for the simulators (build/native)")
        link = os.path.join(self.prefix, "dosdevices", "com%d" % com)
        if os.path.lexists(link):
            os.remove(link)
        log = open(os.path.join(self.root, "%s-com%d.log" % (kind, com)), "wb")
        p = subprocess.Popen([self.native_cli, kind, "--pty", link, *options], stdin=DEVNULL,
                             stdout=log, stderr=log)
        self.helpers.append(p)
        # Stops waiting early when the simulator has ended.
        check(poll(lambda: os.path.lexists(link), lambda v: v or p.poll() is not None, 10, 0.05),
              "%s did not link COM%d" % (kind, com))
        self.wine(["reg", "add", r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM", "/v",
                   r"\Device\Serial%d" % com, "/t", "REG_SZ", "/d", "COM%d" % com, "/f"])
        return p

    def synth(self, path, *options):
        """A synthesised recording, written by the native companion when built, else sk720.exe."""
        if self.native_cli:
            self.native("synth", path, *options)
        else:
            self.wine([self.cli_exe, "synth", self.windows_path(path), *options], 120)
        return path

    def render(self, out, *args):
        """The pixels of `sk720 render ARGS -o OUT` by the native companion."""
        self.native("render", *args, "-o", out)
        return read_png(out)[2]

    def native(self, *args):
        """The output of `sk720 ARGS` by the native companion, which must succeed."""
        r = subprocess.run([self.native_cli, *args], capture_output=True, text=True,
                           errors="replace", timeout=120)
        check(r.returncode == 0, "sk720 %s: %s" % (" ".join(args), r.stderr))
        return r.stdout


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
    values = dict(formatTag=1, rangeIndex=6, pulseType=-1, cwLengthIndex=1, pulseVariant=0,
                  sectorEnabled=0, sectorHeadingIndex=0, sectorWidthIndex=0, stepIndex=1,
                  rotationIndex=0, gainIndex=5, reserved44=0, reserved48=0, tvgSlope=80,
                  reserved56=0, headUp=0, centralFrequency=860000, bandwidth=80000)
    return struct.pack("<18i", *dict(values, **fields).values())


def view_record(**fields):
    """The 84-byte ViewDialogBinV3 record: the start-up defaults with the given fields replaced."""
    values = dict(displayEnabled=1, palette=0, reservedScale=1.0, gainIndex=1, deadZoneIndex=3,
                  grid=1, autoContrast=0, contrast=5, brightness=3, linear=1, pointer=1, echogram=1,
                  fitToWindow=1, hold=0, reserved56=0, compassEnabled=0, zeroAlwaysUp=1,
                  showInfo=1, playbackContinuously=1, zeroOffset=0, toolbarVisible=1)
    return struct.pack("<2if18i", *dict(values, **fields).values())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("action", choices=["prepare", "cleanup", "run"])
    parser.add_argument("scenarios", nargs="*")
    a = parser.parse_args()
    session = Session(a.build, a.source)
    if a.action != "run":
        session.prepare() if a.action == "prepare" else session.server("-k")
        return 0
    table = {}  # the scenario modules sit next to this script, first on the path
    for module in ("scenarios", "scenarios_screenshots", "live_scenarios", "live_measured"):
        table.update(importlib.import_module(module).ALL)
    failed = 0
    for name in a.scenarios:
        start = time.monotonic()
        try:
            session.start()
            session.reset_settings()
            table[name](session)
            print("PASS %s (%.1f s)" % (name, time.monotonic() - start))
        except Exception as e:  # scenarios raise the importable module's Failure, not __main__'s
            failed += 1
            print("FAIL %s (%.1f s): %s" % (name, time.monotonic() - start, e))
        finally:
            session.stop()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
