"""End-to-end scenarios of the real program under Wine + Xvfb, each given a started Session,
and the steps they share.

Every program start costs seconds under Wine, so a scenario checks as much as one start allows.
A scenario raises Failure (or AssertionError) with what it saw when the program misbehaves.
"""
import glob
import os
import struct
import time

from harness import check, poll, sonar_record, view_record, wait

PLAY = "\u25ba"  # the speed button's text while no faster speed follows
WS_CAPTION = 0x00C00000
SCREENSHOT, WORKING_FOLDER = "32782", "32792"  # the scan view's "Screenshot", the menu item
VIEW_TITLE, FOLDER_TITLE = "View settings", "Working folder change"
OFFSET_FIELD, COMPASS_ENABLE, FOLDER_FIELD = "#1007", "#1010", "#1007"
FILE_NAME = "#1148"  # the open-file dialog's file name (cmb13)
RANGES = ["1.5", "2.5", "3", "5", "6", "7.5", "10", "15", "20", "30", "45", "60"]


def rect(s, *child, timeout_ms=None):
    """(left, top, right, bottom, visible, style) of the main window or a child."""
    f = s.must("rect", *child, timeout_ms=timeout_ms).split()
    return tuple(int(v) for v in f[:5]) + (int(f[5], 16),)


def check_placement(value, windowed, what):
    """The stored placement is the windowed rectangle, not full screen."""
    fields = struct.unpack("<4I4i", value) if value is not None and len(value) == 32 else ()
    check(fields[2:3] == (0,) and fields[4:] == windowed[:4],
          "%s: MainWindowPosition %r, window %r" % (what, value, windowed))


def picture(s, *child):
    return s.must("snapshot", *(child or ("Radar scan", "*")))


def scan_changes(s, seconds):
    """Whether the scan view's picture changes within the time."""
    first = picture(s)
    return poll(lambda: picture(s), lambda p: p != first, seconds) != first


def slider(s):
    """The slider bar's (left, top, right, bottom) while it shows, else None."""
    # Waits for the bar to exist: a slow start may show the main window before its children.
    *box, visible, _ = rect(s, "RadarSliderbar class", "*", timeout_ms=10000)
    return box if visible and box[3] > box[1] and box[2] > box[0] else None


def combos(s):
    """Every combo box of the main window: (selection, items), in creation order."""
    return [(int(head.split()[1]), rest.split("|") if int(head.split()[2]) else [])
            for head, _, rest in (line.partition("|") for line in s.must("combos").splitlines())]


def dialog(s, title, opener=None, steps=(), button=None):
    """Opens a dialog (or waits for one), sets its fields ((item, text)) or presses its buttons
    (text), and closes it with button."""
    if opener:
        s.must(*opener)
    s.must("wait-dialog", title, timeout_ms=10000, what="dialog %r" % title)
    for step in steps:
        s.must(*(("press-dialog-button", title, step) if isinstance(step, str) else
                 ("dialog-set", title) + tuple(step)))
    if button:
        s.must("press-dialog-button", title, button)
        s.must("wait-dialog-gone", title, timeout_ms=10000, what="%s closes %r" % (button, title))


def view_dialog(s, compass, steps, button="Set"):
    """Opens the view settings by their button, checks that the compass group is there exactly
    when the data has a compass, takes the steps and closes with button; the zero offset shown
    at opening."""
    dialog(s, VIEW_TITLE, ("click", "Button", VIEW_TITLE))
    check((s.drive("dialog-get", VIEW_TITLE, COMPASS_ENABLE)[0] == 0) == compass,
          "a compass group %s compass data" % ("without", "with")[compass])
    shown = s.must("dialog-get", VIEW_TITLE, OFFSET_FIELD)
    dialog(s, VIEW_TITLE, steps=steps, button=button)
    return shown


def no_dialog(s, what, timeout_ms=0, title="*"):
    rc, out = s.drive("wait-dialog", title, timeout_ms=timeout_ms)
    check(rc != 0, "%s: a box appeared: %r %r" % (what, out, s.drive("dialog-text", title)[1]))


def expect_playing(s, how):
    # Its height is the layout's (native tests) as placed (the playback scenario's work area).
    wait(lambda: slider(s), 10, "slider bar shown after opening by %s" % how)
    s.must("find-child", "Button", "x2", timeout_ms=5000, what="speed button reads x2")
    check(scan_changes(s, 6), "the scan view did not change during playback (%s)" % how)


def expect_error_box(s, text):
    s.must("wait-dialog", "Error", timeout_ms=10000, what="\"Error\" box")
    got = s.must("dialog-text", "Error")
    check(text in got.split("|"), "Error box says %r" % got)
    check(not slider(s), "slider bar shown after an invalid file")
    s.must("find-child", "Button", PLAY, what="speed button still reads the play sign")
    dialog(s, "Error", button="OK")


def open_through_dialog(s, folder, names):
    # Into the folder first, then the selection, as a user would type them into the file name.
    dialog(s, "*", ("click", "Button", "Open File"), [(FILE_NAME, s.windows_path(folder)), "Open"])
    time.sleep(1.0)
    dialog(s, "*", steps=[(FILE_NAME, " ".join('"%s"' % n for n in names)), "Open"])
    s.must("wait-dialog-gone", "Open", timeout_ms=10000, what="open-file dialog closes")


def shots(s, prefix):
    return sorted(glob.glob(os.path.join(s.documents(), "SK720_DATA", prefix + "_rez720_*.png")))


def manual_screenshot(s, notice=None):
    """Requests a screenshot from the scan view and follows the notice until it closes itself;
    the screenshot files then."""
    rc, out = s.drive("command", SCREENSHOT, "--scan", "--watch", timeout_ms=10000)
    lines = out.splitlines()
    check(rc == 0 and lines and lines[-1] == "closed" and lines[0] == (notice or lines[0]),
          "screenshot notice %r (exit %d), expected %r closing by itself" % (out, rc, notice))
    return shots(s, "screenshot")


def blocker_file(s):
    """A file where a folder would have to be made."""
    path = os.path.join(s.work, "blocker")
    open(path, "w").write("a file where a folder should be\n")
    return path


# --- scenarios -----------------------------------------------------------------------------


def first_start_and_dialogs(s):
    # Wine lists its own COM1; with the key gone no serial port is present at all.
    s.wine(["reg", "delete", r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM", "/f"], check=False)
    s.launch()
    want = dict(Language="0409", SonarDialogBinV2=sonar_record(), ViewDialogBinV3=view_record())
    stored = s.wait_values(lambda v: {*want, "WorkingFolder", "MainWindowPosition"} <= v.keys())
    check(all(stored.get(k) == v for k, v in want.items()), "first start stored %r" % stored)
    folder, expected = stored.get("WorkingFolder", ""), os.path.join(s.documents(), "SK720_DATA")
    check(folder.endswith("\\SK720_DATA") and os.path.isdir(expected) and
          os.path.samefile(s.unix_path(folder), expected), "WorkingFolder %r, not made" % folder)
    windowed = rect(s)
    check_placement(stored.get("MainWindowPosition"), windowed, "first start")

    # Without compass data the view dialog has no compass group. An offset that is no number
    # and a Cancel leave the record as the last Set stored it.
    set_record = view_record(zeroOffset=-90, zeroAlwaysUp=0)
    for steps, button, shown in (([(OFFSET_FIELD, "-90")], "Set", "0"),
                                 ([(OFFSET_FIELD, "abc")], "Set", "-90"),
                                 ([(OFFSET_FIELD, "45"), "Grid"], "Cancel", "-90")):
        got = view_dialog(s, False, steps, button)
        check(got == shown, "the dialog opened with offset %r, not %r" % (got, shown))
        check(s.values().get("ViewDialogBinV3") == set_record, "stored after %r" % (steps,))

    # The working folder: made when it does not exist; one that cannot be made is refused with
    # the system's text, and the dialog stays open.
    good = os.path.join(s.folder("new folder"), "records")
    folder_dialog = (FOLDER_TITLE, ("command", WORKING_FOLDER))
    dialog(s, *folder_dialog, [(FOLDER_FIELD, s.windows_path(good))], "OK")
    check(os.path.isdir(good), "the folder was not created")
    s.wait_values(lambda v: v.get("WorkingFolder") == s.windows_path(good), "WorkingFolder")
    bad = os.path.join(blocker_file(s), "sub")
    dialog(s, *folder_dialog, [(FOLDER_FIELD, s.windows_path(bad)), "OK"])
    dialog(s, "GetLastError", button="OK")
    dialog(s, FOLDER_TITLE, button="Cancel")  # still open after the failure
    check(s.values().get("WorkingFolder") == s.windows_path(good), "a failed folder was stored")

    # No port: an empty list, and Start opens no connect dialog.
    check(combos(s)[0][1] == [], "head port list not empty: %r" % (combos(s)[0],))
    s.must("click", "Button", "Start", timeout_ms=5000)
    no_dialog(s, "Start without a port", 2000, "Connect")
    s.must("wait-status", "0", "Disconnected", what="status without a port")

    # F11 in and out of full screen, back with the caption it started with; closed in full
    # screen, the windowed placement is stored.
    full = (0, 0) + s.screen
    for want, caption in ((full, False), (windowed[:4], True), (full, False)):
        s.must("key", "0x7A", "--scan")
        wait(lambda: rect(s)[:4] == want and bool(rect(s)[5] & WS_CAPTION) == caption, 5,
             lambda: "window %r, expected %r caption %s" % (rect(s), want, caption), 0.2)
        if caption:
            check_placement(s.values().get("MainWindowPosition"), windowed, "left full screen")
    check(s.quit() == 0, "exit code not 0")
    stored = s.values()
    check_placement(stored.get("MainWindowPosition"), windowed, "closed in full screen")
    check(stored.get("ViewDialogBinV3") == set_record, "view record after closing")


def languages_and_ranges(s):
    # A stored range beyond the list is cut to its end (and stored so) unless -extrange, matched
    # exactly, makes the list longer. Each start in another interface language; any code but
    # Korean's and Russian's is English.
    cases = [("0419", (), "Старт", "Открыть файл", "Отключён", 11),
             ("0412", ("-EXTRANGE", "--extrange"), "시작", "파일 불러오기", "연결끊김", 11),
             ("0407", ("-extrange",), "Start", "Open File", "Disconnected", 14)]
    for code, args, start, open_file, disconnected, index in cases:
        values = {"Language": code, "SonarDialogBinV2": sonar_record(rangeIndex=14)}
        if code == "0412":  # a recording under a Korean path, shown in the screenshot's strip
            korean = os.path.join(s.folder("한글 자료"), "기록.bin")
            args += (s.windows_path(s.synth(korean, "--turns", "2")),)
        if code == "0407":  # screenshots into a folder that cannot be made
            blocker = blocker_file(s)
            values["WorkingFolder"] = s.windows_path(blocker) + "\\shots"
        s.reset_settings(**values)
        s.launch(*args)
        for cmd in (("find-child", "Button", start), ("find-child", "Button", open_file),
                    ("wait-status", "0", disconnected)):
            s.must(*cmd, timeout_ms=3000, what=code)
        got = next((c for c in combos(s) if c[1][:1] == ["1.5"]), None)
        want = (index, RANGES + (["100", "120", "150"] if index == 14 else []))
        check(got == want, "%r: range (selection, list) %r, expected %r" % (args, got, want))
        stored = s.wait_values(lambda v: struct.unpack_from(
            "<i", v.get("SonarDialogBinV2", bytes(8)), 4)[0] == index, "%r: range" % (args,))
        check(stored["Language"] == code, "%s: Language rewritten as %r" % (code, stored))
        if code == "0412":
            # Hangul drawn as Hangul: the label and the same button showing characters no font
            # has (the box glyph) must look different. Without a Korean font both are boxes.
            no_glyph = "\u0378\u0378"
            time.sleep(1)
            hangul = picture(s, "Button", start)
            s.must("set-text", "Button", start, no_glyph)
            # The button repaints in the program's own time.
            wait(lambda: picture(s, "Button", no_glyph) != hangul, 5,
                 "the Korean label draws as the box glyph", 0.2)
            s.must("set-text", "Button", no_glyph, start)
            expect_playing(s, "a command line naming a Korean path")
            check(manual_screenshot(s), "no screenshot of a recording under a Korean path")
            dialog(s, "*", ("click", "Button", "소나 상세 설정"), button="취소")
        if code == "0407":
            manual_screenshot(s, "Screenshot not saved: folder not writable")
            # Anywhere the program could have fallen back to: Documents and the work folder.
            written = [n for top in (s.documents(), s.work) for _, _, names in os.walk(top)
                       for n in names if "screenshot_rez720_" in n]
            check(os.path.isfile(blocker) and not written, "screenshot files %r" % written)
        check(s.quit() == 0, "%s: exit code not 0" % code)


def refused_then_played(s):
    """Starts the program on a file that is no recording; playback is refused from the command
    line and from the open-file dialog, then two files from the dialog play."""
    folder = s.folder("dialog")
    s.synth(os.path.join(folder, "first.bin"), "--turns", "1")
    s.synth(os.path.join(folder, "second.bin"), "--turns", "1", "--seed", "2")
    garbage = os.path.join(s.work, "garbage.bin")
    open(garbage, "wb").write(b"NOT A RECORDING, JUST TEXT" * 4)
    open(os.path.join(folder, "short.bin"), "wb").write(struct.pack("<4s8xI64x", b"DATA", 16))
    s.launch(s.windows_path(garbage))
    expect_error_box(s, "Invalid file selected")
    time.sleep(0.5)
    check(not slider(s), "slider bar shown after the Error box closed")
    open_through_dialog(s, folder, ["short.bin"])
    expect_error_box(s, "Invalid file selected")

    open_through_dialog(s, folder, ["first.bin", "second.bin"])
    expect_playing(s, "the open-file dialog")
    # The work area from the top: scan view, slider bar 22, echo trace 49.
    scan, bar, trace = (rect(s, c, "*") for c in ("Radar scan", "RadarSliderbar class",
                                                  "WOscClass"))
    check(scan[3] == bar[1] and bar[3] == trace[1] and trace[3] - trace[1] == 49,
          "work area scan %r slider bar %r trace %r" % (scan, bar, trace))
    for shown, following in [("x2", "x4"), ("x4", "x8"), ("x8", "x16"), ("x16", PLAY),
                             (PLAY, "x2"), ("ll", PLAY)]:
        s.must("click", "Button", shown)
        s.must("find-child", "Button", following, timeout_ms=5000, what="speed after " + shown)
    time.sleep(0.5)
    check(not scan_changes(s, 1.5), "the picture still changes while paused")
    s.must("click", "Button", PLAY)
    s.must("find-child", "Button", "x2", timeout_ms=5000, what="resume at speed 1")
    check(scan_changes(s, 6), "the picture does not change after resuming")


ALL = {f.__name__: f for f in (first_start_and_dialogs, languages_and_ranges)}
