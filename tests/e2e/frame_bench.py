#!/usr/bin/env python3
"""The program's frame time during playback on a full-HD screen (scripts/bench-win)."""
import argparse
import os
import statistics
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def placement(left, top, right, bottom):
    # style (overlapped window), extended style, full screen, maximized, rectangle
    return struct.pack("<IIIIiiii", 0x00CF0000, 0, 0, 0, left, top, right, bottom)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--seconds", type=int, default=30)
    # Compass marks on, over a recording whose heading turns 30 degrees a second: the marks move
    # on almost every frame.
    ap.add_argument("--compass", action="store_true")
    # The wheel turned in and out five times a second for the whole run: every turn a new pixel
    # map and a full redraw.
    ap.add_argument("--zoom", action="store_true")
    args = ap.parse_args()
    s = harness.Session(args.build, args.source, screen=(1920, 1080))
    s.prepare()
    s.start()
    try:
        compass = {"ViewDialogBinV3": harness.view_record(compassEnabled=1, zeroAlwaysUp=1)}
        s.reset_settings(Language="0409", MainWindowPosition=placement(0, 0, 1920, 1080),
                         **(compass if args.compass else {}))
        rec = s.synth(os.path.join(s.work, "bench.bin"), "--turns", "3",
                      *(["--header", "44", "--turning", "30"] if args.compass else []))
        s.launch(s.windows_path(rec))
        wheel = None
        if args.zoom:
            wheel = subprocess.Popen(
                ["wine", s.driver_exe, "wheel", "120", str(10 * args.seconds), "100", "--scan"],
                env=s.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
        samples = []
        last = None
        deadline = time.monotonic() + args.seconds
        while time.monotonic() < deadline:
            rc, out = s.drive("status", "3")
            text = out.strip()
            if rc == 0 and text.endswith("ms") and text != last:
                samples.append(int(text[:-2]))
                last = text
            time.sleep(0.4)
        if wheel:
            wheel.wait(timeout=60)
        rc, rect = s.drive("rect", "Radar scan")
        s.quit(timeout=120 if args.zoom else 15)  # wheel turns may still be queued
    finally:
        s.stop()
    if not samples:
        print("bench-win: no frame time was reported", file=sys.stderr)
        return 1
    print("Windows program under Wine + Xvfb, 1920 x 1080 screen, playback x1%s%s" %
          (", compass on, heading turning 30 degrees a second" if args.compass else "",
           ", wheel in and out five times a second" if args.zoom else ""))
    print("scan view %s; %d frame-time reports in %d s" % (rect, len(samples), args.seconds))
    print("frame time (ms): min %d  median %g  max %d" % (min(samples), statistics.median(samples),
                                                          max(samples)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
