#!/usr/bin/env python3
"""The program's frames during playback on a full-HD screen (scripts/bench-win): every frame's
stages as the program logs them to SK720_FRAME_LOG."""
import argparse
import os
import statistics
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
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
        log = os.path.join(s.work, "frames.log")
        s.env["SK720_FRAME_LOG"] = s.windows_path(log)
        s.launch(s.windows_path(rec))
        time.sleep(3)  # the first frames of a start are not those of a steady playback
        begin = os.path.getsize(log) if os.path.exists(log) else 0
        wheel = None
        if args.zoom:
            wheel = subprocess.Popen(
                ["wine", s.driver_exe, "wheel", "120", str(10 * args.seconds), "100", "--scan"],
                env=s.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
        time.sleep(args.seconds)
        with open(log) as f:
            f.seek(begin)
            frames = [[int(v) / 1000 for v in line.split()] for line in f if line.count(" ") == 3]
        if wheel:
            wheel.wait(timeout=60)
        rc, rect = s.drive("rect", "Radar scan")
        s.quit(timeout=120 if args.zoom else 15)  # wheel turns may still be queued
    finally:
        s.stop()
    if not frames:
        print("bench-win: no frame was painted", file=sys.stderr)
        return 1
    totals = sorted(sum(f) for f in frames)
    print("Windows program under Wine + Xvfb, 1920 x 1080 screen, playback x1%s%s" %
          (", compass on, heading turning 30 degrees a second" if args.compass else "",
           ", wheel in and out five times a second" if args.zoom else ""))
    print("scan view %s; %d frames painted in %d s" % (rect, len(frames), args.seconds))
    print("frame (ms): median %.1f  90th percentile %.1f  max %.1f  over 16 ms: %d" %
          (statistics.median(totals), totals[int(0.9 * (len(totals) - 1))], totals[-1],
           sum(t > 16 for t in totals)))
    stages = ("image", "overlays", "strip and dial", "copy")
    for what, some in (("all frames", frames), ("frames over 16 ms", [f for f in frames
                                                                    if sum(f) > 16])):
        if some:
            print("stage medians of %s (ms): %s" % (what, "  ".join(
                "%s %.2f" % (name, statistics.median(f[k] for f in some))
                for k, name in enumerate(stages))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
