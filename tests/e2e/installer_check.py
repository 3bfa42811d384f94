#!/usr/bin/env python3
"""The installer seen from outside, under Wine in a fresh prefix of its own: a silent install, the
Start-menu shortcut, "Open with" on a recording, the version resources, and a silent uninstall.
usage: installer_check.py --build BUILD_DIR --source SOURCE_DIR --installer SETUP.exe
                          --version X.Y.Z --guide GUIDE.html
"""
import argparse
import hashlib
import os
import shlex
import shutil
import struct
import subprocess
import sys
import time

from harness import Session, check, wait  # next to this script, first on the path
from scenarios import dialog, slider

PRODUCT = "SK720 Control Program"
UNINSTALL_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\SK720ControlProgram"
CLASSES = r"HKCU\Software\Classes"
PROGID = "QuorviaUltrasonics.SK720Recording"
# What another program left on .bin before ours was installed: it must survive both ways.
OTHER_OWNER = "SomeViewer.bin"
INSTALLED = {"SK720Control.exe", "sk720.exe", "user-guide.html", "Uninstall.exe"}


def reg_value(s, key, name=None):
    """The string (or DWORD as int) stored under the key, None when absent; None: the default."""
    return s.values(key).get(name or "(Default)")


def reg_key_exists(s, key):
    return s.wine(["reg", "query", key], check=False).returncode == 0


def split_command(command):
    """A Windows command line as an open command is written: quoted or bare words."""
    lexer = shlex.shlex(command or "", posix=True)
    lexer.whitespace_split, lexer.escape = True, ""
    return list(lexer)


def link_target(path):
    """(target path, working folder) of a .lnk file: the local path of its link information, or
    the relative path of its strings when it has none."""
    data = open(path, "rb").read()
    check(len(data) >= 76 and data[:4] == b"L\0\0\0", "%s is no link" % path)
    flags = struct.unpack_from("<I", data, 20)[0]
    pos = 76 + (2 + struct.unpack_from("<H", data, 76)[0] if flags & 0x01 else 0)
    target, strings, wide = None, {}, flags & 0x80
    codec = "utf-16-le" if wide else "latin-1"
    if flags & 0x02:  # link information, with the local path in the system's code page
        size, _, info_flags, _, base = struct.unpack_from("<5I", data, pos)
        if info_flags & 1:
            target = data[pos + base:data.index(b"\0", pos + base)].decode("latin-1")
        pos += size
    # Name, relative path, folder, arguments, icon: those the flags say are there, in order.
    for bit in (b for b in (0x04, 0x08, 0x10, 0x20, 0x40) if flags & b):
        size = struct.unpack_from("<H", data, pos)[0] * (2 if wide else 1)
        # Some writers count a terminating zero too.
        strings[bit] = data[pos + 2:pos + 2 + size].decode(codec).rstrip("\0")
        pos += 2 + size
    return target or strings.get(0x08), strings.get(0x10)


def file_versions(path):
    """The file and product versions of an executable's version resource, as 4-tuples."""
    data = open(path, "rb").read()
    at = data.find(struct.pack("<I", 0xFEEF04BD))  # the fixed part's signature
    check(at > 0, "%s has no version resource" % path)
    ms, ls, pms, pls = struct.unpack_from("<4I", data, at + 8)
    return tuple((v >> 16, v & 0xFFFF, w >> 16, w & 0xFFFF) for v, w in ((ms, ls), (pms, pls)))


# --- the scenario --------------------------------------------------------------------------------
def windows_env(s, name):
    return s.wine(["cmd", "/c", "echo %" + name + "%"]).stdout.decode("utf-8", "replace").strip()


def same_path(s, windows_a, windows_b):
    return os.path.samefile(s.unix_path(windows_a), s.unix_path(windows_b))


def digest(path):
    return hashlib.sha256(open(path, "rb").read()).hexdigest()


def install(s, setup):
    s.wine(["reg", "add", CLASSES + r"\.bin", "/ve", "/d", OTHER_OWNER, "/f"])
    s.wine([s.windows_path(setup), "/S"], timeout=120)
    entry = s.values(UNINSTALL_KEY)
    location = entry.get("InstallLocation")
    expected = windows_env(s, "LOCALAPPDATA") + "\\Programs\\" + PRODUCT
    check(location and location.lower() == expected.lower(),
          "installed into %r (the uninstall entry's location), not %r" % (location, expected))
    print("  ok: installed into " + location)
    folder = s.unix_path(location)
    found = set(os.listdir(folder) if os.path.isdir(folder) else ())
    check(found == INSTALLED, "the installation folder holds %r" % sorted(found))
    check(entry.get("DisplayName") == PRODUCT and entry.get("Publisher") == "Quorvia Ultrasonics"
          and entry.get("DisplayVersion") and entry.get("DisplayIcon"), "uninstall entry %r" % entry)
    uninstaller = location + "\\Uninstall.exe"
    for name, options in (("UninstallString", []), ("QuietUninstallString", ["/S"])):
        check(split_command(entry.get(name)) == [uninstaller, *options], "%s %r" % (name, entry))
    check(isinstance(entry.get("EstimatedSize"), int) and entry["EstimatedSize"] > 0,
          "EstimatedSize %r" % entry.get("EstimatedSize"))
    return location


def check_files(s, location, a):
    version, build, guide = a.version, os.path.abspath(a.build), a.guide
    numbers = tuple(int(p) for p in version.split(".")) + (0,)
    for name, built in (("SK720Control.exe", "SK720Control.exe"), ("sk720.exe", "tools/sk720.exe")):
        path = s.unix_path(location + "\\" + name)
        check(digest(path) == digest(os.path.join(build, built)), "%s differs from the build's" % name)
        check(file_versions(path) == (numbers, numbers),
              "%s's version resource: %r" % (name, file_versions(path)))
    installed_guide = s.unix_path(location + "\\user-guide.html")
    check(digest(installed_guide) == digest(guide), "the installed guide differs from the built one")
    page = open(installed_guide, encoding="utf-8").read()
    check('src="data:image/png;base64,' in page and "<table>" in page,
          "the guide carries no picture or table")
    out = s.wine([location + "\\sk720.exe", "--version"]).stdout.decode().strip()
    check(out == "sk720 " + version, "sk720 --version: %r" % out)
    return "files and version resources match the build"


def menu_folder(s):
    return windows_env(s, "APPDATA") + "\\Microsoft\\Windows\\Start Menu\\Programs\\" + PRODUCT


def start_from_menu(s, location, a):
    folder = menu_folder(s)
    links = sorted(os.listdir(s.unix_path(folder)))
    check(links == [PRODUCT + " User Guide.lnk", PRODUCT + ".lnk"], "Start menu holds %r" % links)
    guide, _ = link_target(s.unix_path(folder + "\\" + PRODUCT + " User Guide.lnk"))
    check(guide and same_path(s, guide, location + "\\user-guide.html"), "guide link -> %r" % guide)
    link = folder + "\\" + PRODUCT + ".lnk"
    target, working = link_target(s.unix_path(link))
    check(target and same_path(s, target, location + "\\SK720Control.exe"),
          "program link -> %r" % target)
    check(working and same_path(s, working, location), "program link starts in %r" % working)
    # Through the shell, as a click on the entry would.
    s.program = subprocess.Popen(["wine", "start", "/wait", link], env=s.env,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.DEVNULL)
    s.must("wait-window", timeout_ms=30000, what="the Start-menu entry's main window")
    about = "About " + PRODUCT
    dialog(s, about, ("command", "104"))
    text = s.must("dialog-text", about)
    check(PRODUCT + ", Version " + a.version in text.split("|"), "About says %r" % text)
    dialog(s, about, button="OK")
    check(s.quit() == 0, "the program started from the menu did not end cleanly")
    return "the Start-menu entry started the program; About names " + a.version


def open_recording(s, location, _):
    check(reg_value(s, CLASSES + r"\.bin") == OTHER_OWNER,
          ".bin now belongs to %r" % reg_value(s, CLASSES + r"\.bin"))
    check(reg_value(s, CLASSES + r"\.bin\OpenWithProgids", PROGID) is not None,
          "%s is not under .bin's OpenWithProgids" % PROGID)
    icon = split_command(reg_value(s, CLASSES + "\\" + PROGID + r"\DefaultIcon"))
    check(icon == [location + "\\SK720Control.exe,0"], "ProgID icon %r" % icon)
    words = split_command(reg_value(s, CLASSES + "\\" + PROGID + r"\shell\open\command"))
    check(words == [location + "\\SK720Control.exe", "%1"], "open command %r" % words)
    recording = os.path.join(s.work, "rez720_20260101_120000.bin")
    s.wine([location + "\\sk720.exe", "synth", s.windows_path(recording), "--turns", "3"], 120)
    s.program_exe = words[0]
    s.launch(s.windows_path(recording))
    wait(lambda: slider(s), 15, "no slider bar for a recording opened through the ProgID")
    check(s.quit() == 0, "the program opened on a recording did not end cleanly")
    return "the ProgID's open command played a file"


def uninstall(s, location, _):
    check(s.values().get("Language") is not None, "the program left no settings to keep")
    menu, folder = s.unix_path(menu_folder(s)), s.unix_path(location)
    # The uninstaller runs from a copy of itself and returns at once: wait for what it removes.
    s.wine(split_command(reg_value(s, UNINSTALL_KEY, "QuietUninstallString")), timeout=120)
    wait(lambda: not os.path.exists(folder) and not reg_key_exists(s, UNINSTALL_KEY), 60,
         lambda: "the installation folder is still there with %r" % (
             sorted(os.listdir(folder)) if os.path.exists(folder) else []), 0.5)
    check(not os.path.exists(menu), "the Start-menu folder is still there")
    for key in (UNINSTALL_KEY, CLASSES + "\\" + PROGID,
                CLASSES + r"\Applications\SK720Control.exe", CLASSES + r"\.bin\OpenWithProgids"):
        check(not reg_key_exists(s, key), "%s is still in the registry" % key)
    check(reg_value(s, CLASSES + r"\.bin") == OTHER_OWNER, ".bin lost its owner on uninstall")
    check(s.values().get("Language") is not None, "the settings went with the program")
    return "uninstalled; settings and .bin's owner kept"


def main():
    parser = argparse.ArgumentParser()
    for option in ("--build", "--source", "--installer", "--version", "--guide"):
        parser.add_argument(option, required=True)
    a = parser.parse_args()
    s = Session(a.build, a.source, root=os.path.join(a.build, "installer-check"))
    # No desktop files for the shortcuts outside the prefix.
    s.env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
    start, failure = time.monotonic(), None
    try:
        s.prepare()
        s.start()
        location = install(s, a.installer)
        for step in (check_files, start_from_menu, open_recording, uninstall):
            print("  ok: " + step(s, location, a))  # each step says what it found right
    except Exception as e:  # report what was seen so far, whatever failed
        failure = e
    finally:
        s.stop()
    print("%s installer (%.1f s)%s" % ("FAIL" if failure else "PASS", time.monotonic() - start,
                                       ": %s" % failure if failure else ""))
    # Kept after a failure to look into; after a pass, the prefix is only disk space.
    if not failure:
        shutil.rmtree(s.root, ignore_errors=True)
    return 1 if failure else 0

if __name__ == "__main__":
    sys.exit(main())
