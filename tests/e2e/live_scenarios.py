"""End-to-end scenarios of the live head: the real program against `sk720 headsim` and
`sk720 gpssim` on pseudo-terminals linked as COM ports, each given a started Session.

The head is COM7 and the GPS receiver COM8; both are listed in the port key before the program
starts, and the stored link choices select them.
"""
import glob
import os
import struct
import subprocess
import time

from harness import Failure, view_record

WS_DISABLED = 0x08000000
HEAD_COM, GPS_COM = 7, 8
GPS_START = (35.0950, 129.0400)  # degrees


def check(condition, message):
    if not condition:
        raise Failure(message)


def set_dword(s, name, value):
    s.wine(["reg", "add", r"HKCU\Software\Quorvia Ultrasonics\SK720ControlProgram\Settings",
            "/v", name, "/t", "REG_DWORD", "/d", str(value), "/f"])


def link_choices(s, gps=True):
    set_dword(s, "SerialPort", HEAD_COM)
    set_dword(s, "SerialSpeed", 921600)
    set_dword(s, "GPSSerialPort", GPS_COM if gps else 0)
    set_dword(s, "GPSSerialSpeed", 4800)


def head(s, *options):
    log = os.path.join(s.root, "headsim-records.log")
    return s.simulator("headsim", HEAD_COM, "--log", log, *options), log


def gps(s):
    return s.simulator("gpssim", GPS_COM, "--start", "%f,%f" % GPS_START, "--rate", "1")


def start_enabled(s):
    style = int(s.must("rect", "Button", "Start").split()[5], 16)
    return style & WS_DISABLED == 0


def wait(condition, seconds, what):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise Failure(what)
        time.sleep(0.3)


def data_folder(s):
    return os.path.join(s.documents(), "SK720_DATA")


def record_files(s):
    return sorted(glob.glob(os.path.join(data_folder(s), "rez720_*.bin")))


def headers(path):
    """Every record's header fields (headersize, samples, commandid, latitude, longitude)."""
    out = []
    with open(path, "rb") as f:
        data = f.read()
    pos = 0
    while pos + 44 <= len(data):
        magic, size, _, samples, _, _, command, _, _, lat, lon = struct.unpack_from("<4s8I2f",
                                                                                     data, pos)
        if magic != b"DATA" or samples < size:
            raise Failure("%s: no record at byte %d" % (path, pos))
        out.append((size, samples, command, lat, lon))
        pos += samples
    check(pos == len(data), "%s: %d bytes after the last whole record" % (path, len(data) - pos))
    return out


def info_count(s, path):
    r = subprocess.run([s.native_cli(), "info", path], capture_output=True, text=True, timeout=60)
    check(r.returncode == 0, "sk720 info %s: %s" % (path, r.stderr))
    return r.stdout


def connect(s):
    s.must("click", "Button", "Start")
    s.must("wait-status", "0", "Connected", timeout_ms=40000, what="status after Start")
    s.must("wait-status", "1", "COM%d:921600baud" % HEAD_COM, timeout_ms=5000, what="link text")
    s.must("wait-dialog-gone", "Connect", timeout_ms=5000, what="connect dialog closes itself")
    wait(lambda: not start_enabled(s), 5, "Start still enabled while connected")


def hold_button(s):
    """The Hold button's text: "Hold" or "Resume"."""
    for text in ("Hold", "Resume"):
        if s.drive("find-child", "Button", text)[0] == 0:
            return text
    raise Failure("no Hold button")


def wait_notice(s, words, seconds):
    """The text of the first notice (a dialog without a title) that holds the words."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        rc, out = s.drive("dialog-text", "", timeout_ms=1000)
        if rc == 0 and words in out:
            return out
        time.sleep(0.2)
    raise Failure("no notice saying %r" % words)


def stop(s):
    s.must("click", "Button", "Stop")
    s.must("wait-status", "0", "Disconnected", timeout_ms=5000, what="status after Stop")
    wait(lambda: start_enabled(s), 5, "Start not enabled after Stop")


# --- scenarios -----------------------------------------------------------------------------


def live_record_apply_stop(s):
    head(s)
    gps(s)
    link_choices(s)
    s.launch()
    # The toolbar's range, not the stored one, is what the head starts with.
    s.must("combo-select", "ComboBox", "4", "7")  # range "15"
    time.sleep(0.6)
    connect(s)
    s.must("click", "Button", "Record")
    time.sleep(6)
    # Another range, applied while recording: a new file, recording resumed in it.
    s.must("combo-select", "ComboBox", "4", "8")  # range "20"
    time.sleep(0.6)  # the quick lists reach the record on the 200 ms timer
    s.must("click", "Button", "Apply")
    wait(lambda: len(record_files(s)) >= 2, 15, "no second record file after Apply")
    time.sleep(4)
    stop(s)
    files = record_files(s)
    check(len(files) == 2, "record files %r" % files)
    first, second = headers(files[0]), headers(files[1])
    check(len(first) > 20 and len(second) > 20, "records %d and %d" % (len(first), len(second)))
    for path, recs in ((files[0], first), (files[1], second)):
        check(all(h[0] == 44 for h in recs), "%s: a header is not 44 bytes" % path)
        info = info_count(s, path)
        check(str(len(recs)) in info, "sk720 info %s does not count %d: %r" % (path, len(recs), info))
    rad = 3.141592653589793 / 180
    placed = [h for h in first + second if h[3] != 0.0]
    check(placed, "no record carries a GPS position")
    check(all(abs(h[3] - GPS_START[0] * rad) < 1e-3 and abs(h[4] - GPS_START[1] * rad) < 1e-3
              for h in placed), "positions %r" % placed[:3])
    check(first[-1][1] != second[-1][1], "the range did not change the record length")
    check(" 15 m (" in info_count(s, files[0]), "the start did not use the toolbar's range: %r"
          % info_count(s, files[0]))
    check(" 20 m (" in info_count(s, files[1]), "Apply did not use the toolbar's range")
    check(s.quit() == 0, "exit code not 0")


def live_cancel_during_rate_switch(s):
    head(s, "--silent")  # no attempt succeeds: the thread pauses between them
    link_choices(s, gps=False)
    s.launch()
    s.must("click", "Button", "Start")
    s.must("wait-dialog", "Connect", timeout_ms=10000, what="connect dialog")
    time.sleep(2)
    s.must("press-dialog-button", "Connect", "Cancel")
    s.must("wait-dialog-gone", "Connect", timeout_ms=5000, what="Cancel closes the dialog")
    s.must("wait-status", "0", "Disconnected", timeout_ms=2000, what="status after Cancel")
    # The thread ends by itself within a pause; a new Start then gets its own dialog.
    time.sleep(4)
    s.must("click", "Button", "Start")
    s.must("wait-dialog", "Connect", timeout_ms=10000, what="connect dialog after the cancel")
    s.must("press-dialog-button", "Connect", "Cancel")
    s.must("wait-dialog-gone", "Connect", timeout_ms=5000, what="second Cancel")
    check(s.quit() == 0, "exit code not 0")


def live_head_refuses_rate(s):
    head(s, "--refuse-rate")
    link_choices(s, gps=False)
    s.launch()
    s.must("click", "Button", "Start")
    # The head stays at the opening rate, and the program says so and paces it for that rate.
    s.must("wait-status", "0", "Connected", timeout_ms=40000, what="status after refusal")
    s.must("wait-status", "1", "COM%d:115200baud" % HEAD_COM, timeout_ms=5000, what="link text")
    s.must("wait-dialog-gone", "Connect", timeout_ms=10000, what="dialog after the start")
    s.must("click", "Button", "Record")
    wait(lambda: record_files(s) and os.path.getsize(record_files(s)[0]) > 0, 15,
         "nothing recorded from a head at 115200")
    stop(s)
    check(s.quit() == 0, "exit code not 0")


def live_no_port(s):
    # Wine lists its own COM1; with the key gone no serial port is present at all.
    s.wine(["reg", "delete", r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM", "/f"], check=False)
    s.launch()
    check(s.must("combo-items", "ComboBox", "0") == "0", "head port list not empty")
    s.must("click", "Button", "Start", timeout_ms=5000)
    check(s.drive("wait-dialog", "Connect", timeout_ms=3000)[0] != 0,
          "a connect dialog opened without a port")
    s.must("wait-status", "0", "Disconnected", what="status without a port")
    check(s.quit() == 0, "exit code not 0")


def live_sonar_dialog_set(s):
    head(s)
    link_choices(s, gps=False)
    s.set_binary("ViewDialogBinV3", view_record(hold=1))
    s.launch()
    # A stored hold is in force, and one click ends it.
    check(hold_button(s) == "Resume", "stored hold shows %r" % hold_button(s))
    s.must("click", "Button", "Resume")
    wait(lambda: hold_button(s) == "Hold", 3, "Resume did not end the hold")
    connect(s)
    s.must("click", "Button", "Record")
    s.must("click", "Button", "Hold")
    wait(lambda: hold_button(s) == "Resume", 3, "Hold did not hold")
    time.sleep(3)
    s.must("click", "Button", "Sonar settings")
    s.must("wait-dialog", "*", timeout_ms=10000, what="sonar settings dialog")
    s.must("press-dialog-button", "*", "Sonar head up")
    s.must("press-dialog-button", "*", "Set")
    wait(lambda: len(record_files(s)) >= 2, 20, "no new record file after Set")
    # The restart shows live data again: the button offers Hold.
    wait(lambda: hold_button(s) == "Hold", 5, "Set ended the hold but the button says Resume")
    time.sleep(3)
    stop(s)
    before, after = (headers(p) for p in record_files(s)[:2])
    check(all(h[2] & 0x10 == 0 for h in before), "head-up bit before Set")
    check(after and all(h[2] & 0x10 for h in after), "the head did not take the head-up bit")
    stored = s.query("SonarDialogBinV2")
    check(struct.unpack_from("<i", stored, 60)[0] == 1, "headUp not stored")
    check(s.quit() == 0, "exit code not 0")


def live_working_folder(s):
    s.launch()
    good = os.path.join(s.work, "new folder", "records")
    os.makedirs(os.path.dirname(good), exist_ok=True)
    s.must("command", "32792")
    s.must("wait-dialog", "Working folder change", timeout_ms=10000, what="working folder dialog")
    s.must("dialog-set", "Working folder change", "#1007", s.windows_path(good))
    s.must("press-dialog-button", "Working folder change", "OK")
    s.must("wait-dialog-gone", "Working folder change", timeout_ms=5000, what="OK closes it")
    check(os.path.isdir(good), "the folder was not created")
    check(s.wait_value("WorkingFolder") == s.windows_path(good),
          "WorkingFolder is %r" % s.query("WorkingFolder"))
    # A folder that cannot be made: the system's text, the dialog stays open.
    blocker = os.path.join(s.work, "a file")
    with open(blocker, "w") as f:
        f.write("x")
    s.must("command", "32792")
    s.must("wait-dialog", "Working folder change", timeout_ms=10000, what="dialog again")
    s.must("dialog-set", "Working folder change", "#1007",
           s.windows_path(os.path.join(blocker, "sub")))
    s.must("press-dialog-button", "Working folder change", "OK")
    s.must("wait-dialog", "GetLastError", timeout_ms=10000, what="error box for a bad folder")
    s.must("press-dialog-button", "GetLastError", "OK")
    s.must("wait-dialog-gone", "GetLastError", timeout_ms=10000, what="error box closes")
    check(s.drive("wait-dialog", "Working folder change", timeout_ms=2000)[0] == 0,
          "the dialog closed after a failure")
    s.must("press-dialog-button", "Working folder change", "Cancel")
    s.must("wait-dialog-gone", "Working folder change", timeout_ms=5000, what="Cancel")
    check(s.query("WorkingFolder") == s.windows_path(good), "a failed folder was stored")
    check(s.quit() == 0, "exit code not 0")


def live_exit_while_recording(s):
    head(s)
    link_choices(s, gps=False)
    s.launch()
    connect(s)
    s.must("click", "Button", "Record")
    wait(lambda: record_files(s) and os.path.getsize(record_files(s)[0]) > 10000, 15,
         "nothing recorded")
    # Closing stops the loop, which closes the file after its pending writes.
    check(s.quit() == 0, "exit code not 0")
    files = record_files(s)
    check(len(files) == 1, "record files %r" % files)
    recs = headers(files[0])  # fails on a partial last record
    check(str(len(recs)) in info_count(s, files[0]), "sk720 info disagrees")


def live_cable_pulled(s):
    sim, _ = head(s)
    link_choices(s, gps=False)
    s.launch()
    connect(s)
    s.must("click", "Button", "Record")
    wait(lambda: record_files(s) and os.path.getsize(record_files(s)[0]) > 10000, 15,
         "nothing recorded")
    sim.terminate()
    sim.wait(timeout=5)
    # The working loop ends on the port error; the watch (10 s ticks) closes the link.
    s.must("wait-status", "0", "Disconnected", timeout_ms=25000, what="status after the pull")
    wait(lambda: start_enabled(s), 5, "Start not enabled after the pull")
    files = record_files(s)
    check(len(files) == 1, "record files %r" % files)
    recs = headers(files[0])
    check(len(recs) > 10 and str(len(recs)) in info_count(s, files[0]), "file after the pull")
    # The head is back: Start works again.
    head(s)
    connect(s)
    stop(s)
    check(s.quit() == 0, "exit code not 0")


def live_head_refuses_parameters(s):
    # The head switches its rate but never answers a parameter load.
    sim, _ = head(s, "--ignore-params-after", "0")
    link_choices(s, gps=False)
    s.launch()
    s.must("click", "Button", "Start")
    notice = wait_notice(s, "did not accept its parameters", 40)
    check("Start" in notice, "the notice does not say what to do: %r" % notice)
    s.must("wait-status", "0", "Disconnected", timeout_ms=5000, what="status after the refusal")
    wait(lambda: start_enabled(s), 5, "Start not enabled after the refusal")
    s.must("wait-dialog-gone", "", timeout_ms=12000, what="the notice closes by itself")
    check(not record_files(s), "a record file without a working loop: %r" % record_files(s))
    # A head that takes the first load only: Apply fails while recording.
    sim.terminate()
    sim.wait(timeout=5)
    head(s, "--ignore-params-after", "1")
    connect(s)
    s.must("click", "Button", "Record")
    wait(lambda: record_files(s) and os.path.getsize(record_files(s)[0]) > 10000, 15,
         "nothing recorded")
    s.must("click", "Button", "Apply")
    wait_notice(s, "did not accept its parameters", 20)
    s.must("wait-status", "0", "Disconnected", timeout_ms=5000, what="status after Apply")
    wait(lambda: start_enabled(s), 5, "Start not enabled after a failed Apply")
    files = record_files(s)
    check(len(files) == 1, "record files %r" % files)
    recs = headers(files[0])
    check(len(recs) > 10 and str(len(recs)) in info_count(s, files[0]), "file after Apply")
    check(s.quit() == 0, "exit code not 0")


LIVE = {
    "live_head_refuses_parameters": live_head_refuses_parameters,
    "live_exit_while_recording": live_exit_while_recording,
    "live_cable_pulled": live_cable_pulled,
    "live_record_apply_stop": live_record_apply_stop,
    "live_cancel_during_rate_switch": live_cancel_during_rate_switch,
    "live_head_refuses_rate": live_head_refuses_rate,
    "live_no_port": live_no_port,
    "live_sonar_dialog_set": live_sonar_dialog_set,
    "live_working_folder": live_working_folder,
}
