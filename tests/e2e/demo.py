#!/usr/bin/env python3
"""scripts/demo: the real program plays a synthesised recording under Wine; its own screenshot
(overlays on) and, where ImageMagick's import exists, a picture of the whole window are kept."""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--source", required=True)
    ap.add_argument("--out", required=True)
    ap.add_argument("--seconds", type=int, default=20)
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    s = harness.Session(args.build, args.source)
    s.start()
    try:
        s.reset_settings()
        s.set_string("Language", "0409")
        rec = s.synth(os.path.join(args.out, "rez720_demo.bin"), "--turns", "2")
        s.launch(s.windows_path(rec))
        time.sleep(args.seconds)
        s.must("command", "32782", "--scan", what="screenshot request")
        folder = os.path.join(s.documents(), "SK720_DATA")
        deadline = time.monotonic() + 20
        shots = []
        while not shots and time.monotonic() < deadline:
            shots = sorted(glob.glob(os.path.join(folder, "screenshot_rez720_*.png")))
            time.sleep(0.5)
        window = os.path.join(args.out, "window.png")
        if shutil.which("import"):
            subprocess.run(["import", "-window", "root", window], env=s.env, check=False)
        s.quit()
    finally:
        s.stop()
    if not shots:
        print("demo: the program saved no screenshot", file=sys.stderr)
        return 1
    shot = os.path.join(args.out, "screenshot.png")
    shutil.copyfile(shots[-1], shot)
    print("Recording:  %s" % rec)
    print("Screenshot: %s  (taken by the program, overlays on)" % shot)
    if os.path.exists(window):
        print("Window:     %s" % window)
    return 0


if __name__ == "__main__":
    sys.exit(main())
