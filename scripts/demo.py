#!/usr/bin/env python3
"""scripts/demo: the real program under Wine connected to the simulated head and GPS receiver on
COM ports; it records for a while, takes a screenshot (overlays on) and stops. --playback plays a
synthesised recording instead."""
import argparse
import os
import shutil
import subprocess
import sys
import time

# The Wine session and the live steps are the end-to-end harness's own.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import harness  # noqa: E402
import live_scenarios as live  # noqa: E402
from harness import wait  # noqa: E402
from scenarios import SCREENSHOT, shots  # noqa: E402


def screenshot(s):
    before = shots(s, "screenshot")
    s.must("command", SCREENSHOT, "--scan", what="screenshot request")
    wait(lambda: shots(s, "screenshot") != before, 20, "the program saved no screenshot")
    time.sleep(0.5)  # let the encoder finish the file
    return shots(s, "screenshot")[-1]


def window_picture(s, path):
    if shutil.which("import"):
        subprocess.run(["import", "-window", "root", path], env=s.env, check=False,
                       stderr=subprocess.DEVNULL)
    return path if os.path.exists(path) else None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--seconds", type=int, default=20)
    ap.add_argument("--playback", action="store_true")
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    s = harness.Session(args.build, args.source)
    s.start()
    recording = None
    try:
        s.reset_settings(Language="0409")
        if args.playback:
            recording = s.synth(os.path.join(args.out, "rez720_demo.bin"), "--turns", "2")
            s.launch(s.windows_path(recording))
            time.sleep(args.seconds)
            shot = screenshot(s)
        else:
            live.head(s)
            live.gps(s)
            live.link_choices(s)
            s.launch()
            live.connect(s)
            s.must("click", "Button", "Record")
            time.sleep(args.seconds)
            shot = screenshot(s)
            live.stop(s)
            files = live.record_files(s)
            recording = files[-1] if files else None
        window = window_picture(s, os.path.join(args.out, "window.png"))
        s.quit()
    finally:
        s.stop()
    kept_shot = os.path.join(args.out, "screenshot.png")
    shutil.copyfile(shot, kept_shot)
    if recording and not args.playback:
        kept = os.path.join(args.out, os.path.basename(recording))
        shutil.copyfile(recording, kept)
        recording = kept
    print("Recording:  %s" % recording)
    print("Screenshot: %s  (taken by the program, overlays on)" % kept_shot)
    if window:
        print("Window:     %s" % window)
    return 0


if __name__ == "__main__":
    sys.exit(main())
