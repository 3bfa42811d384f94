"""End-to-end scenarios of the real program under Wine + Xvfb, each given a started Session.

A scenario raises Failure (or AssertionError) with what it saw when the program misbehaves.
"""
import os
import struct
import time

from harness import Failure, sonar_record, view_record

PLAY = "\u25ba"  # the speed button's text while no faster speed follows
WS_CAPTION = 0x00C00000

VIEW_DEFAULTS = view_record()


def check(condition, message):
    if not condition:
        raise Failure(message)


def rect(s, *child):
    """(left, top, right, bottom, visible, style) of the main window or a child."""
    f = s.must("rect", *child).split()
    return tuple(int(v) for v in f[:5]) + (int(f[5], 16),)


def placement(value):
    check(value is not None and len(value) == 32, "MainWindowPosition is %r" % (value,))
    style, ex_style, full, maximized, l, t, r, b = struct.unpack("<4I4i", value)
    return {"style": style, "fullScreen": full, "maximized": maximized, "rect": (l, t, r, b)}


def combos(s):
    """Every combo box of the main window: (selection, items), in creation order."""
    out = []
    for line in s.must("combos").splitlines():
        head, _, rest = line.partition("|")
        _, sel, count = head.split()
        items = rest.split("|") if int(count) else []
        out.append((int(sel), items))
    return out


def range_list(s):
    for sel, items in combos(s):
        if items and items[0] == "1.5":
            return sel, items
    raise Failure("no range list (first item \"1.5\") among %r" % combos(s))


def stored_range_index(s):
    rec = s.query("SonarDialogBinV2")
    check(rec is not None and len(rec) == 72, "SonarDialogBinV2 is %r" % (rec,))
    return struct.unpack_from("<i", rec, 4)[0]


def scan_changes(s, seconds):
    """Whether the scan view's picture changes within the time."""
    first = s.must("snapshot", "Radar scan", "*").split()[2]
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        time.sleep(0.4)
        if s.must("snapshot", "Radar scan", "*").split()[2] != first:
            return True
    return False


def slider_height(s):
    l, t, r, b, visible, _ = rect(s, "RadarSliderbar class", "*")
    return (b - t) if visible else 0


def expect_playing(s, how):
    out = s.must("wait-visible", "RadarSliderbar class", "*", timeout_ms=10000,
                 what="slider bar shown after opening by %s" % how)
    check(int(out.split()[3]) - int(out.split()[1]) == 22, "slider bar rect %s" % out)
    s.must("find-child", "Button", "x2", timeout_ms=5000, what="speed button reads x2")
    check(scan_changes(s, 6), "the scan view did not change during playback (%s)" % how)


def expect_error_box(s, text):
    s.must("wait-dialog", "Error", timeout_ms=10000, what="\"Error\" box")
    got = s.must("dialog-text", "Error")
    check(text in got.split("|"), "Error box says %r" % got)
    check(slider_height(s) == 0, "slider bar shown after an invalid file")
    s.must("find-child", "Button", PLAY, what="speed button still reads the play sign")
    s.must("press-dialog-button", "Error", "OK")
    s.must("wait-dialog-gone", "Error", timeout_ms=10000, what="Error box closes on OK")


def open_through_dialog(s, folder, names):
    s.must("click", "Button", "Open File")
    s.must("wait-dialog", "*", timeout_ms=10000, what="open-file dialog")
    # Into the folder first, then the selection, as a user would type them.
    s.must("dialog-set", "*", "Edit:0", s.windows_path(folder))
    s.must("press-dialog-button", "*", "Open")
    time.sleep(1.0)
    s.must("dialog-set", "*", "Edit:0", " ".join('"%s"' % n for n in names))
    s.must("press-dialog-button", "*", "Open")
    s.must("wait-dialog-gone", "Open", timeout_ms=10000, what="open-file dialog closes")


# --- scenarios -----------------------------------------------------------------------------


def first_start(s):
    s.launch()
    s.must("wait-status", "0", "Disconnected", what="status part 0")
    check(s.wait_value("Language") == "0409", "Language is %r" % s.query("Language"))
    check(s.wait_value("SonarDialogBinV2") == sonar_record(),
          "SonarDialogBinV2 is %r" % s.query("SonarDialogBinV2"))
    check(s.wait_value("ViewDialogBinV3") == VIEW_DEFAULTS,
          "ViewDialogBinV3 is %r" % s.query("ViewDialogBinV3"))
    folder = s.wait_value("WorkingFolder")
    check(folder is not None and folder.endswith("\\SK720_DATA"), "WorkingFolder is %r" % folder)
    expected = os.path.join(s.documents(), "SK720_DATA")
    check(os.path.isdir(expected) and os.path.samefile(s.unix_path(folder), expected),
          "working folder %r not created in Documents" % folder)
    stored = placement(s.wait_value("MainWindowPosition"))
    check(stored["rect"] == rect(s)[:4] and stored["fullScreen"] == 0,
          "stored placement %r, window %r" % (stored, rect(s)))
    check(s.quit() == 0, "exit code not 0")


def languages(s):
    cases = [("0419", "Старт", "Открыть файл", "Отключён"), ("0412", "시작", "파일 불러오기", "연결끊김"),
             ("0407", "Start", "Open File", "Disconnected")]
    wrong = []
    for code, start, open_file, disconnected in cases:
        s.set_string("Language", code)
        s.launch()
        for args, what in [(("find-child", "Button", start), "Start button %s" % start),
                           (("find-child", "Button", open_file), "Open File button %s" % open_file),
                           (("wait-status", "0", disconnected), "status part 0 %s" % disconnected)]:
            rc, out = s.drive(*args, timeout_ms=3000)
            if rc != 0:
                wrong.append("%s: no %s (saw %r)" % (code, what, out))
        if s.query("Language") != code:
            wrong.append("%s: Language rewritten as %r" % (code, s.query("Language")))
        check(s.quit() == 0, "exit code not 0")
    check(not wrong, "; ".join(wrong))


def extended_range(s):
    ranges = ["1.5", "2.5", "3", "5", "6", "7.5", "10", "15", "20", "30", "45", "60"]
    for args, count, index in [((), 12, 11), (("-EXTRANGE", "--extrange"), 12, 11),
                               (("-extrange",), 15, 14)]:
        s.set_binary("SonarDialogBinV2", sonar_record(rangeIndex=14))
        s.launch(*args)
        sel, items = range_list(s)
        want = ranges + (["100", "120", "150"] if count == 15 else [])
        check(items == want, "%r: range list %r" % (args, items))
        check(sel == index, "%r: range selection %d, expected %d" % (args, sel, index))
        s.wait_value("SonarDialogBinV2", predicate=lambda v: v and len(v) == 72 and
                     struct.unpack_from("<i", v, 4)[0] == index)
        check(stored_range_index(s) == index,
              "%r: stored rangeIndex %d, expected %d" % (args, stored_range_index(s), index))
        check(s.quit() == 0, "exit code not 0")


def playback_command_line(s):
    path = s.synth(os.path.join(s.work, "cmdline.bin"), "--turns", "2")
    s.launch(s.windows_path(path))
    expect_playing(s, "command line")
    # The work area from the top: scan view, slider bar 22, echo trace 49.
    scan, slider, trace = (rect(s, c, "*") for c in ("Radar scan", "RadarSliderbar class",
                                                     "WOscClass"))
    check(scan[3] == slider[1] and slider[3] == trace[1] and trace[3] - trace[1] == 49,
          "work area scan %r slider %r trace %r" % (scan, slider, trace))
    for shown, following in [("x2", "x4"), ("x4", "x8"), ("x8", "x16"), ("x16", PLAY),
                             (PLAY, "x2")]:
        s.must("click", "Button", shown)
        s.must("find-child", "Button", following, timeout_ms=5000,
               what="speed button after %s" % shown)
    s.must("click", "Button", "ll")
    s.must("find-child", "Button", PLAY, timeout_ms=5000, what="pause shows the play sign")
    time.sleep(0.5)
    check(not scan_changes(s, 1.5), "the picture still changes while paused")
    s.must("click", "Button", PLAY)
    s.must("find-child", "Button", "x2", timeout_ms=5000, what="resume at speed 1")
    check(scan_changes(s, 6), "the picture does not change after resuming")
    # Closing during playback ends the process (the playback thread is stopped first).
    check(s.quit() == 0, "exit code not 0")


def playback_open_dialog(s):
    folder = os.path.join(s.work, "dialog")
    os.makedirs(folder, exist_ok=True)
    s.synth(os.path.join(folder, "first.bin"), "--turns", "1")
    s.synth(os.path.join(folder, "second.bin"), "--turns", "1", "--seed", "2")
    s.launch()
    check(slider_height(s) == 0, "slider bar shown before any file was opened")
    open_through_dialog(s, folder, ["first.bin", "second.bin"])
    expect_playing(s, "the open-file dialog")
    check(s.quit() == 0, "exit code not 0")


def playback_non_ascii_path(s):
    # Russian users keep recordings in folders named in Russian.
    folder = os.path.join(s.work, "записи")
    os.makedirs(folder, exist_ok=True)
    # Written under an ASCII name: the companion's own path handling is not under test here.
    path = os.path.join(folder, "запись.bin")
    os.replace(s.synth(os.path.join(s.work, "plain.bin"), "--turns", "1"), path)
    s.launch(s.windows_path(path))
    check(s.drive("wait-dialog", "*", timeout_ms=2000)[0] != 0,
          "a box appeared: %s" % s.drive("dialog-text", "*")[1])
    expect_playing(s, "a command line naming a Cyrillic path")
    check(s.quit() == 0, "exit code not 0")


def invalid_file(s):
    garbage = os.path.join(s.work, "garbage.bin")
    with open(garbage, "wb") as f:
        f.write(b"NOT A RECORDING, JUST TEXT" * 4)
    short = os.path.join(s.work, "short.bin")
    with open(short, "wb") as f:
        f.write(b"DATA" + bytes(8) + struct.pack("<I", 16) + bytes(64))
    s.launch(s.windows_path(garbage))
    expect_error_box(s, "Invalid file selected")
    time.sleep(1.0)
    check(slider_height(s) == 0, "slider bar shown after the Error box closed")
    open_through_dialog(s, s.work, ["short.bin"])
    expect_error_box(s, "Invalid file selected")
    check(s.quit() == 0, "exit code not 0")


def full_screen(s):
    s.launch()
    windowed = rect(s)
    check(windowed[5] & WS_CAPTION == WS_CAPTION, "no caption at start: %r" % (windowed,))
    full = (0, 0) + s.screen

    def wait_rect(want, caption):
        deadline = time.monotonic() + 5
        while True:
            now = rect(s)
            if now[:4] == want and bool(now[5] & WS_CAPTION) == caption:
                return
            if time.monotonic() > deadline:
                raise Failure("window %r, expected %r caption %s" % (now, want, caption))
            time.sleep(0.2)

    s.must("key", "0x7A", "--scan")
    wait_rect(full, False)
    s.must("key", "0x7A", "--scan")
    wait_rect(windowed[:4], True)
    stored = placement(s.wait_value("MainWindowPosition"))
    check(stored["rect"] == windowed[:4] and stored["fullScreen"] == 0,
          "stored after leaving full screen: %r" % stored)
    # Closed while in full screen: the windowed placement is what is stored.
    s.must("key", "0x7A", "--scan")
    wait_rect(full, False)
    check(s.quit() == 0, "exit code not 0")
    stored = placement(s.query("MainWindowPosition"))
    check(stored["rect"] == windowed[:4] and stored["fullScreen"] == 0,
          "stored after closing in full screen: %r" % stored)


ALL = {
    "first_start": first_start,
    "languages": languages,
    "extended_range": extended_range,
    "playback_command_line": playback_command_line,
    "playback_open_dialog": playback_open_dialog,
    "playback_non_ascii_path": playback_non_ascii_path,
    "invalid_file": invalid_file,
    "full_screen": full_screen,
}

# The live head against the simulated head and GPS receiver on COM ports.
from live_scenarios import LIVE  # noqa: E402

ALL.update(LIVE)
