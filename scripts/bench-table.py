#!/usr/bin/env python3
"""Prints the zoom and pan cases of two scan_bench JSON outputs (one core, every core) as a table:
medians in ms, CPU time for one core, wall time for every core."""
import json
import sys

GOALS = {
    "full redraw (conversion + colouring)": "<= 8 ms",
    "  its memory floor (any exact / this design)": "",
    "  zoom in a 1920 x 1080 client (window / the rest)": "",
    "pixel state": "<= 10 B/px",
    "pixel-map rebuild (new range / new centre / new size)": "<= 80 ms",
    "contrast / brightness / automatic-contrast repaint": "<= 6 ms",
    "steady paint (manual / automatic contrast)": "<= 0.3 ms",
}


def medians(path):
    with open(path) as f:
        runs = json.load(f)["benchmarks"]
    return {r["run_name"]: r for r in runs if r.get("aggregate_name") == "median"}


def ms(run, column):
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[run["time_unit"]]
    return run[column] * scale


def cell(runs, names, column):
    found = [runs[n] for n in names if n in runs]
    if len(found) != len(names):
        return "-"
    return " / ".join(f"{ms(r, column):.3g}" for r in found)


def main():
    one, every = medians(sys.argv[1]), medians(sys.argv[2])
    redraw = "BM_FullRedraw/size:1920/threads:{}/real_time"
    window = "BM_WindowFirstRedraw/threads:{}/part:{}/real_time"
    refresh = "BM_RefreshRepaint/size:1920/threads:{}/kind:{}/real_time"
    steady = "BM_SteadyStatePaint/size:1920/threads:{}/auto:{}/real_time"
    rebuild = one.get("BM_PixelMapRebuild/size:1920/pan:1/threads:1/real_time")
    rebuilds = ["BM_PixelMapRebuild/size:1920/pan:0/threads:{}/real_time",
                "BM_PixelMapRebuild/size:1920/pan:1/threads:{}/real_time",
                "BM_PixelMapRebuildFresh/size:1920/threads:{}/real_time"]
    rows = [
        ("full redraw (conversion + colouring)",
         cell(one, [redraw.format(1)], "cpu_time"), cell(every, [redraw.format(0)], "real_time")),
        ("  its memory floor (any exact / this design)",
         cell(one, [f"BM_FullRedrawFloor/{k}" for k in range(2)], "cpu_time"), ""),
        ("  zoom in a 1920 x 1080 client (window / the rest)",
         cell(one, [window.format(1, p) for p in range(2)], "cpu_time"),
         cell(every, [window.format(0, p) for p in range(2)], "real_time")),
        ("pixel state",
         f"{rebuild['bytes_per_pixel']:.1f} B/px" if rebuild else "-", "same"),
        ("pixel-map rebuild (new range / new centre / new size)",
         cell(one, [r.format(1) for r in rebuilds], "cpu_time"),
         cell(every, [r.format(0) for r in rebuilds], "real_time")),
        ("contrast / brightness / automatic-contrast repaint",
         cell(one, [refresh.format(1, k) for k in range(3)], "cpu_time"),
         cell(every, [refresh.format(0, k) for k in range(3)], "real_time")),
        ("steady paint (manual / automatic contrast)",
         cell(one, [steady.format(1, a) for a in range(2)], "cpu_time"),
         cell(every, [steady.format(0, a) for a in range(2)], "real_time")),
    ]
    print("== zoom and pan at 1920 x 1920, medians in ms "
          "(one core: CPU time; every core: wall time)")
    print(f"  {'case':52} {'one core':>20} {'every core':>20} {'goal':>12}")
    for name, first, second in rows:
        print(f"  {name:52} {first:>20} {second:>20} {GOALS[name]:>12}")


if __name__ == "__main__":
    main()
