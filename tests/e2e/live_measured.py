"""End-to-end scenarios of the live head that measure: when recording starts after the command,
and how long Stop holds the window. Times are taken in the driver, next to the action (a driver
started under Wine takes a second or two itself); records are held against the simulated head's
own log in sequence.
"""
import os
import signal
import time

from harness import check, end, wait
from head_log import read_log, verify
from live_scenarios import connect, head, headers, link_choices, pick_range, record_files, stop
from scenarios import dialog

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


def check_marks(log, marks, files):
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
        recorded |= {p for p in figures["places"] if p is not None}
    late, firsts = [], []
    for via, when, after in marks:
        # The head's ping period at 921600 baud with step 1 for records of this length as a head
        # with 36-byte headers sends them (the sample count loaded is the length less 16): the
        # larger of the transmit time plus a tenth and the minimum of the parameter rules.
        samples = entries[after][2] - 16
        period = max(samples * 10 * 1000 / 921600 * 1.1, (1200 + (samples - 44) * 11 + 2000) / 1000)
        start = after + 1 + int(TAKE_MS / period)  # the first ping that must be recorded
        first = min((p for p in recorded if p >= after - 5), default=None)
        wanted = [i for i in range(start, start + NEXT_PINGS) if not entries[i][4]]
        missing = [entries[i][0] for i in wanted if i not in recorded]
        firsts.append("%s %s %s" % (via, when, "none" if first is None else "%+d (%.0f ms)"
                                    % (first - after + 1, max(first - after, 0) * period)))
        if first is None or first >= start or missing:
            late.append("Record by %s %s: first recorded ping %s of the head's, %d of the %d "
                        "pings after %d ms not recorded (head had sent %d)" %
                        (via, when, first, len(missing), len(wanted), TAKE_MS, after))
    print("first recorded ping after the command: " + ", ".join(firsts))
    check(not late, "; ".join(late))


def record_runs(s, sim, log, cases, pause):
    """Record pressed as each case says (by a click, or by "command": the button's WM_COMMAND
    posted to the main window; "after the start" includes the Start), off again after the pause;
    then Stop. The driver marks the head log's record count right after each post. The files are
    held against the marks and renamed out of the way; returns them."""
    marks = []
    for via, when in cases:
        if when == "after the start":
            sent = len(read_log(log))
            s.must("click", "Button", "Start")
            s.must("wait-status", "0", "Connected", timeout_ms=40000, what="status after Start")
            wait(lambda: len(read_log(log)) > sent, 40, "the head did not stream after the start")
        elif when == "after a hold":
            sim.send_signal(signal.SIGSTOP)
            time.sleep(HOLD_S)
            sim.send_signal(signal.SIGCONT)
            time.sleep(0.1)
        # "while streaming" follows a case: the head has streamed since it, some 5 s by the click.
        out = s.must("click" if via == "click" else "button-command", "Button", "Record", "--mark",
                     s.windows_path(log), timeout_ms=5000, what="Record " + via)
        marks.append((via, when, int(out.split()[-1])))  # "mark COUNT"
        if when == "after the start":
            s.must("wait-dialog-gone", "Connect", timeout_ms=10000, what="connect dialog closes")
        time.sleep(pause)
        # The button blinks while recording; it reads "Recording" every other 400 ms.
        s.must("click", "Button", "Recording", timeout_ms=10000, what="Record off")
        s.must("find-child", "Button", "Record", timeout_ms=10000, what="Record button back")
    stop(s)
    # A head with a long keep-alive limit streams on after Stop into a terminal nobody reads;
    # its write then stalls for up to 5 s before it notices the signal.
    end(sim, 15)
    files = record_files(s)
    check_marks(log, marks, files)
    for path in files:
        os.rename(path, path + ".done")
    return files


def live_stop_returns_the_window(s):
    # Recording's start is measured in the same program start first (a program start is the
    # dearest step of a scenario): Record clicked just after the loading of a start whose new
    # range resets the view, posted as the button's WM_COMMAND right after a held head resumed,
    # and clicked some 5 s later while it streams; recording off and on again goes on in the same
    # file.
    sim, log = head(s, "--header", "36", "--keep-alive-timeout", KEEP_ALIVE_LIMIT_MS)
    link_choices(s, gps=False)
    s.launch()
    pick_range(s, "8")
    files = record_runs(s, sim, log, [("click", "after the start"), ("command", "after a hold"),
                                      ("click", "while streaming")], 2)
    check(len(files) == 1, "record files %r" % files)
    pick_range(s, "6")  # the stored 10 m again: the heads below reach their stall sooner
    # Then a head that stops in the middle of a record, and one that goes silent (its process
    # held): the working loop is inside a read either way. Last a head that never answers: Stop
    # during the connect sequence.
    timings = []
    for case, options in (("stalled", ["--stall-after", "1500"]), ("silent", [])):
        sim, log = head(s, "--header", "36", *options)
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
        timings.append((case, timed_stop(s)))
        sim.send_signal(signal.SIGCONT)
        end(sim, 15)
        files = record_files(s)
        check(files and len(headers(files[-1])) > 20, "%s: files %r" % (case, files))
        problems, figures = verify(read_log(log), open(files[-1], "rb").read())
        check(not problems and not figures["missing"],
              "%s: %s, missing %r" % (case, problems, figures["missing"][:10]))
        os.rename(files[-1], files[-1] + ".done")  # the next case's file is the only .bin
    head(s, "--silent")
    dialog(s, "Connect", ("click", "Button", "Start"))
    time.sleep(2)
    timings.append(("never answers", timed_stop(s)))
    print("stop timings (ms): " + ", ".join("%s %d" % t for t in timings))
    slow = [t for t in timings if t[1] > STOP_RETURN_MS]
    check(not slow, "Stop held the window longer than %d ms: %r" % (STOP_RETURN_MS, slow))
    check(s.quit() == 0, "exit code not 0")


def timed_stop(s):
    # "MS | status @ms | ...": what the status line said until it read "Disconnected".
    out = s.must("timed-click", "Button", "Stop", "0", "Disconnected", timeout_ms=15000,
                 what="Stop")
    ms = int(out.split()[0])
    if ms > STOP_RETURN_MS:
        print("slow Stop, the status line on the way:%s" % out[len(out.split()[0]):])
    return ms


ALL = {"live_stop_returns_the_window": live_stop_returns_the_window}
