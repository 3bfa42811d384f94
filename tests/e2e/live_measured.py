"""End-to-end scenarios of the live head that measure: when recording starts after the command,
and how long Stop holds the window. Times are taken in the driver, next to the action (a driver
started under Wine takes a second or two itself); records are held against the simulated head's
own log in sequence.
"""
import os
import signal
import time

from harness import Failure
from head_log import read_log, verify
from live_scenarios import connect, head, headers, link_choices, record_files, stop, wait

# Generous against a loaded machine; the window must come back within about a second.
STOP_RETURN_MS = 1100
# Records after the command that must all be in the file: about a second of pings.
NEXT_PINGS = 40
# The command waits in the window's queue while the user-interface thread finishes what it does
# (a frame takes tens of milliseconds on a loaded machine); recording must start within this time
# of the post. A start late by a second and more is what this guards against.
TAKE_MS = 250
# The head is held (its process stopped) this long, then streams on. The simulated head leaves
# work mode when no keep-alive has come for 3 s, and its clock runs on while it is held: its limit
# is set far beyond the hold, so that the silence is all the program sees.
HOLD_S = 2.5
KEEP_ALIVE_LIMIT_MS = "60000"


def check(condition, message):
    if not condition:
        raise Failure(message)


def latency_head(s):
    return head(s, "--header", "36", "--keep-alive-timeout", KEEP_ALIVE_LIMIT_MS)


def hold_head(sim):
    sim.send_signal(signal.SIGSTOP)
    time.sleep(HOLD_S)
    sim.send_signal(signal.SIGCONT)
    time.sleep(0.1)


def record_command(s, log, via):
    """Record pressed (a click or the button's WM_COMMAND posted to the main window); the head
    log's record count right after the post."""
    kind = "click" if via == "click" else "button-command"
    out = s.must(kind, "Button", "Record", "--mark", s.windows_path(log), timeout_ms=5000,
                 what="Record " + via)
    fields = out.split()
    check(len(fields) == 3 and fields[0] == "mark", "driver mark %r" % out)
    return int(fields[2])


def recording_off(s):
    # The button blinks while recording; it reads "Recording" every other 400 ms.
    s.must("click", "Button", "Recording", timeout_ms=10000, what="Record off")
    s.must("find-child", "Button", "Record", timeout_ms=10000, what="Record button back")


def ping_period_ms(length):
    """The head's ping period at 921600 baud with step 1 for records of this length as a head
    with 36-byte headers sends them (the sample count loaded is the length less 16): the larger
    of the transmit time plus a tenth and the minimum of the parameter rules."""
    samples = length - 16
    return max(samples * 10 * 1000 / 921600 * 1.1, (1200 + (samples - 44) * 11 + 2000) / 1000)


def check_marks(s, log, marks, files):
    """Recording starts at the ping the head sends once the window has taken each Record command
    (within TAKE_MS of its post), and every ping from there on is in the files (the first
    NEXT_PINGS of them). Prints where recording started for each, in pings after the mark: +1 is
    the next ping sent after the post; 0 or less, the program was still reading pings sent
    before it."""
    entries = read_log(log)
    recorded = set()
    for path in files:
        problems, figures = verify(entries, open(path, "rb").read())
        check(not problems, "%s: %s" % (path, "; ".join(problems)))
        recorded |= set(p for p in figures["places"] if p is not None)
    late, firsts = [], []
    for via, when, after in marks:
        period = ping_period_ms(entries[after][2])
        slack = int(TAKE_MS / period)
        first = min((p for p in recorded if p >= after - 5), default=None)
        wanted = [i for i in range(after + 1 + slack, after + 1 + slack + NEXT_PINGS)
                  if not entries[i][4]]
        missing = [entries[i][0] for i in wanted if i not in recorded]
        firsts.append("%s %s %s" % (via, when, "none" if first is None else
                                    "%+d (%.0f ms)" % (first - after + 1,
                                                       max(first - after, 0) * period)))
        if first is None or first > after + slack or missing:
            late.append("Record by %s %s: first recorded ping %s of the head's, %d of the %d "
                        "pings after %d ms not recorded (head had sent %d)" %
                        (via, when, first, len(missing), len(wanted), TAKE_MS, after))
    print("first recorded ping after the command: " + ", ".join(firsts))
    check(not late, "; ".join(late))


def start_and_record(s, log, via):
    """Start, and Record as soon as the head streams after its loading; the mark."""
    sent = len(read_log(log))
    s.must("click", "Button", "Start")
    s.must("wait-status", "0", "Connected", timeout_ms=40000, what="status after Start")
    wait(lambda: len(read_log(log)) > sent, 40, "the head did not stream after the start")
    mark = record_command(s, log, via)
    s.must("wait-dialog-gone", "Connect", timeout_ms=10000, what="connect dialog closes itself")
    return mark


def live_record_starts_at_next_ping(s):
    sim, log = latency_head(s)  # before the program lists its ports
    link_choices(s, gps=False)
    s.launch()
    # Record just after the head resumed streaming: after the loading of a start (whose new range
    # resets the view), after a hold, and after 5 s of streaming; by a click and by the button's
    # WM_COMMAND posted to the main window. The head ends when the program closes the link: a
    # new one for each start.
    for via in ("click", "command"):
        if via != "click":
            sim, log = latency_head(s)
        marks = [(via, "after the start", start_and_record(s, log, via))]
        time.sleep(3)
        recording_off(s)
        for held in (True, False):
            if held:
                hold_head(sim)
            else:
                time.sleep(5)
            marks.append((via, "after a hold" if held else "while streaming",
                          record_command(s, log, via)))
            time.sleep(3)
            recording_off(s)
        stop(s)
        sim.terminate()
        sim.wait(timeout=15)
        files = record_files(s)
        check_marks(s, log, marks, files)
        for path in files:
            os.rename(path, path + ".done")
        s.must("combo-select", "ComboBox", "4", "8")  # another range for the next start
        time.sleep(0.6)  # the quick lists reach the record on the 200 ms timer
    check(s.quit() == 0, "exit code not 0")


# A head with a long keep-alive limit streams on after Stop into a terminal nobody reads; its
# write then stalls for up to 5 s before it notices the signal, so the wait after terminate is
# longer than that.
def record_after_streaming_and_after_a_hold(s):
    """One connection: Record clicked after 5 s of streaming, then (off again) Record posted as a
    WM_COMMAND right after the head resumed from a hold; both start at the next ping. Leaves
    recording off, the link stopped and the file renamed out of the way."""
    sim, log = latency_head(s)
    link_choices(s, gps=False)
    s.launch()
    connect(s)
    time.sleep(5)
    marks = [("click", "while streaming", record_command(s, log, "click"))]
    time.sleep(2)
    recording_off(s)
    hold_head(sim)
    marks.append(("command", "after a hold", record_command(s, log, "command")))
    time.sleep(2)
    recording_off(s)
    stop(s)
    sim.terminate()
    sim.wait(timeout=15)
    files = record_files(s)
    check(len(files) == 1, "record files %r" % files)
    check_marks(s, log, marks, files)
    os.rename(files[0], files[0] + ".done")


def timed_stop(s):
    out = s.must("timed-click", "Button", "Stop", "0", "Disconnected", timeout_ms=15000,
                 what="Stop")
    return int(out)


def live_stop_returns_the_window(s):
    # Recording's start is measured in the same program start first (a program start is the
    # dearest step of a scenario). Then a head that stops in the middle of a record, and one that
    # goes silent (its process held): the working loop is inside a read either way.
    record_after_streaming_and_after_a_hold(s)
    timings = []
    for case in ("stalled", "silent"):
        options = ["--header", "36"] + (["--stall-after", "1500"] if case == "stalled" else [])
        sim, log = head(s, *options)
        link_choices(s, gps=False)
        if not s.program or s.program.poll() is not None:
            s.launch()
        connect(s)
        if case == "stalled":
            s.must("click", "Button", "Record")  # and on at the next start, by itself
        wait(lambda: record_files(s) and os.path.getsize(record_files(s)[-1]) > 10000, 30,
             "%s: nothing recorded" % case)
        if case == "stalled":
            wait(lambda: len(read_log(log)) >= 1500, 120, "the head did not reach its stall")
        else:
            time.sleep(3)
            sim.send_signal(signal.SIGSTOP)
        time.sleep(1.5)  # the reader waits inside the record or the hunt for one
        ms = timed_stop(s)
        timings.append((case, ms))
        wait(lambda: s.must("status", "0") == "Disconnected", 5, "status after Stop")
        if case == "silent":
            sim.send_signal(signal.SIGCONT)
        sim.terminate()
        sim.wait(timeout=15)
        files = record_files(s)
        check(files, "no record file")
        recs = headers(files[-1])  # fails on a partial last record
        check(len(recs) > 20, "%s: only %d records" % (case, len(recs)))
        problems, figures = verify(read_log(log), open(files[-1], "rb").read())
        check(not problems and not figures["missing"],
              "%s: %s, missing %r" % (case, problems, figures["missing"][:10]))
        check(ms <= STOP_RETURN_MS, "%s head: Stop held the window %d ms" % (case, ms))
        os.rename(files[-1], files[-1] + ".done")  # the next case's file is the only .bin
    # A head that never answers: Stop during the connect sequence.
    head(s, "--silent")
    s.must("click", "Button", "Start")
    s.must("wait-dialog", "Connect", timeout_ms=10000, what="connect dialog")
    time.sleep(2)
    ms = timed_stop(s)
    timings.append(("never answers", ms))
    check(ms <= STOP_RETURN_MS, "silent head while connecting: Stop held the window %d ms" % ms)
    print("stop timings (ms): " + ", ".join("%s %d" % t for t in timings))
    check(s.quit() == 0, "exit code not 0")


MEASURED = {
    "live_record_starts_at_next_ping": live_record_starts_at_next_ping,
    "live_stop_returns_the_window": live_stop_returns_the_window,
}
