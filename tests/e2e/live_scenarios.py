"""End-to-end scenarios of the live head: the real program against `sk720 headsim` and
`sk720 gpssim` on pseudo-terminals linked as COM ports, each given a started Session.

The head is COM7 and the GPS receiver COM8; both are listed in the port key before the program
starts, and the stored link choices select them.
"""
import glob
import math
import os
import struct
import time

from harness import check, end, poll, view_record, wait
from scenarios import dialog

WS_DISABLED = 0x08000000
HEAD_COM, GPS_COM = 7, 8
GPS_START = (35.0950, 129.0400)  # degrees


def link_choices(s, gps=True, **values):
    s.set_values(dict(values, SerialPort=HEAD_COM, SerialSpeed=921600,
                      GPSSerialPort=GPS_COM if gps else 0, GPSSerialSpeed=4800))


def head(s, *options):
    log = os.path.join(s.root, "headsim-records.log")
    return s.simulator("headsim", HEAD_COM, "--log", log, *options), log


def next_head(s, old, *options):
    """The head replaced by a new one with the options (the old one ends the link)."""
    end(old, 15)  # its link is gone before the new head makes one
    return head(s, *options)[0]


def gps(s):
    return s.simulator("gpssim", GPS_COM, "--start", "%f,%f" % GPS_START, "--rate", "1")


def start_enabled(s):
    return int(s.must("rect", "Button", "Start").split()[5], 16) & WS_DISABLED == 0


def record_files(s):
    return sorted(glob.glob(os.path.join(s.documents(), "SK720_DATA", "rez720_*.bin")))


def headers(path, growing=False):
    """Every record's header fields (headersize, samples, commandid, latitude, longitude); a
    file still being written may end inside a record."""
    out, pos, data = [], 0, open(path, "rb").read()
    while pos + 44 <= len(data):
        magic, size, _, samples, command, lat, lon = struct.unpack_from("<4s3I8xI8x2f", data, pos)
        check(magic == b"DATA" and samples >= size, "%s: no record at byte %d" % (path, pos))
        if growing and pos + samples > len(data):
            break
        out.append((size, samples, command, lat, lon))
        pos += samples
    check(growing or pos == len(data), "%s: %d bytes after the last whole record"
          % (path, len(data) - pos))
    return out


def recording(s, before, records=25):
    """The new record file (not among before) once it holds the records."""
    def new():
        return [p for p in record_files(s) if p not in before]
    wait(lambda: new() and len(headers(new()[-1], growing=True)) >= records, 20,
         "no new record file with %d records" % records)
    return new()[-1]


def whole(s, path, at_least=10, info_says=""):
    """The records of a closed file: whole, as many as sk720 info counts; its summary says
    info_says. (Each header widened to 44 bytes is the native recorder tests'.)"""
    recs = headers(path)  # fails on a partial last record
    info = s.native("info", path)
    check(len(recs) >= at_least and str(len(recs)) in info and info_says in info,
          "%s: %d records, %r in sk720 info %r" % (path, len(recs), info_says, info))
    return recs


def connect(s, baud=921600):
    s.must("click", "Button", "Start")
    s.must("wait-status", "0", "Connected", timeout_ms=40000, what="status after Start")
    s.must("wait-status", "1", "COM%d:%dbaud" % (HEAD_COM, baud), timeout_ms=5000, what="link")
    s.must("wait-dialog-gone", "Connect", timeout_ms=10000, what="connect dialog closes itself")
    wait(lambda: not start_enabled(s), 5, "Start still enabled while connected")


def disconnected(s, seconds=5, what="Stop"):
    s.must("wait-status", "0", "Disconnected", timeout_ms=seconds * 1000, what="status: " + what)
    wait(lambda: start_enabled(s), 5, "Start not enabled after " + what)


def pick_range(s, item):
    s.must("combo-select", "ComboBox", "4", item)
    time.sleep(0.6)  # the quick lists reach the record on the 200 ms timer


def stop(s):
    s.must("click", "Button", "Stop")
    disconnected(s)


def hold_button(s):
    """The Hold button's text: "Hold" or "Resume" (None: no such button)."""
    return next((t for t in ("Hold", "Resume") if s.drive("find-child", "Button", t)[0] == 0), None)


def refused_parameters(s, seconds):
    """The notice of a head that did not take its parameters, the link closed, the notice gone."""
    seen = poll(lambda: s.drive("dialog-text", "", timeout_ms=1000),
                lambda r: r[0] == 0 and "did not accept its parameters" in r[1], seconds, 0.2)
    check(seen[0] == 0 and "did not accept its parameters" in seen[1] and "Start" in seen[1],
          "no notice of refused parameters that says to Start again (status %r, %r)"
          % (s.drive("wait-status", "0", "*")[1], seen))
    disconnected(s, what="the refusal")
    s.must("wait-dialog-gone", "", timeout_ms=12000, what="the notice closes by itself")


# --- scenarios -----------------------------------------------------------------------------


def live_recording(s):
    head(s)
    gps(s)
    link_choices(s, ViewDialogBinV3=view_record(hold=1))
    s.launch()
    # A stored hold is in force, and one click ends it.
    check(hold_button(s) == "Resume", "stored hold shows %r" % hold_button(s))
    s.must("click", "Button", "Resume")
    wait(lambda: hold_button(s) == "Hold", 3, "Resume did not end the hold")
    # The toolbar's range, not the stored one, is what the head starts with; another range
    # applied while recording starts a new file, recording resumed in it.
    files = []
    for range_item, button in (("7", "Record"), ("8", "Apply")):  # "15", "20"
        pick_range(s, range_item)
        if button == "Record":
            connect(s)
        s.must("click", "Button", button)
        files.append(recording(s, files))
    # Held, then the sonar settings set: a new file with the head-up bit, live again.
    s.must("click", "Button", "Hold")
    wait(lambda: hold_button(s) == "Resume", 3, "Hold did not hold")
    dialog(s, "*", ("click", "Button", "Sonar settings"), ["Sonar head up", "Set"])
    files.append(recording(s, files, records=10))
    wait(lambda: hold_button(s) == "Hold", 5, "Set ended the hold but the button says Resume")
    # Closed while recording: the loop stops, and the file is closed after its pending writes.
    # (Recording going on at the next start after a Stop is live_head_moods's.)
    check(s.quit() == 0, "exit code not 0")
    check(record_files(s) == files, "record files %r" % record_files(s))
    # The toolbar's ranges: 15 m, then 20 m.
    recs = [whole(s, p, 20, " %d m (" % m) for p, m in zip(files, (15, 20))] + [whole(s, files[2])]
    placed = [h for r in recs for h in r if h[3] != 0.0]
    check(placed and all(abs(h[3] - math.radians(GPS_START[0])) < 1e-3 and
                         abs(h[4] - math.radians(GPS_START[1])) < 1e-3 for h in placed),
          "positions %r" % placed[:3])
    bits = [{h[2] & 0x10 for h in r} for r in recs]
    check(bits == [{0}, {0}, {0x10}], "head-up bits of the files %r" % bits)
    check(struct.unpack_from("<i", s.values()["SonarDialogBinV2"], 60)[0] == 1, "headUp not stored")


def live_head_moods(s):
    # A head that switches its rate but never answers a parameter load: no working loop.
    sim, _ = head(s, "--ignore-params-after", "0")
    link_choices(s, gps=False)
    s.launch()
    s.must("click", "Button", "Start")
    refused_parameters(s, 60)
    check(not record_files(s), "a record file without a working loop: %r" % record_files(s))
    # A head that takes the first load only: Apply fails while recording.
    sim = next_head(s, sim, "--ignore-params-after", "1")
    connect(s)
    s.must("click", "Button", "Record")
    files = [recording(s, [])]
    s.must("click", "Button", "Apply")
    refused_parameters(s, 40)
    check(record_files(s) == files, "record files %r" % record_files(s))
    whole(s, files[0])

    # A head that stays at the opening rate: the program says so and paces it for that rate.
    # Recording, on since the last start, goes on at each start by itself.
    sim = next_head(s, sim, "--refuse-rate")
    connect(s, baud=115200)
    files.append(recording(s, files, records=3))
    stop(s)

    # Recording goes on after the Stop too. The cable pulled while recording: the working loop
    # ends on the port error and the watch (10 s ticks) closes the link; the file holds whole
    # records.
    sim = next_head(s, sim)
    connect(s)
    files.append(recording(s, files))
    end(sim, 5)
    disconnected(s, 25, "the pull")
    check(record_files(s) == files, "record files %r" % record_files(s))
    whole(s, files[2])

    # Cancelled while the head does not answer (the thread pauses between attempts): the
    # thread ends by itself within a pause, and a new Start then gets its own dialog.
    head(s, "--silent")
    for pause in (2, 0):
        dialog(s, "Connect", ("click", "Button", "Start"))
        time.sleep(pause)
        s.must("press-dialog-button", "Connect", "Cancel")
        s.must("wait-dialog-gone", "Connect", timeout_ms=5000, what="Cancel closes the dialog")
        s.must("wait-status", "0", "Disconnected", timeout_ms=2000, what="status after Cancel")
        time.sleep(pause * 2)
    check(s.quit() == 0, "exit code not 0")


ALL = {f.__name__: f for f in (live_recording, live_head_moods)}
