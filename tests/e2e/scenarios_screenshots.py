"""End-to-end scenario of playback: refused, played, then from a Cyrillic path the screenshots and
their overlays.

The program's own screenshot (the whole square scan image) is compared with `sk720 render` of the
same records: the visible window that render writes is the screenshot's square cropped as the scan
view crops it.
"""
import math
import os

from harness import check, read_png, view_record, wait
from scenarios import (PLAY, expect_playing, manual_screenshot, no_dialog, open_through_dialog,
                       rect, refused_then_played, scan_changes, shots, view_dialog)

AUTO_OFF, AUTO_EVERY_TURN = "32813", "32837"
RING_GREY = (0x60, 0x60, 0x60)


def grey_near(rows, cx, cy, angle, radius, off_rows):
    """Whether the ray from the centre at angle has a ring-grey pixel within 2 px of radius that
    the picture without overlays does not have."""
    points = ((int(round(cx + r * math.cos(angle))), int(round(cy + r * math.sin(angle))))
              for r in (radius + d / 2 for d in range(-4, 5)))
    return any(0 <= y < len(rows) and 0 <= x < len(rows[0]) and rows[y][x] != off_rows[y][x]
               and max(abs(a - b) for a, b in zip(rows[y][x], RING_GREY)) <= 0x10
               for x, y in points)


def check_rings(what, rows, off_rows, cx, cy, radii):
    """Each ring shows on most rays between the spokes (the pointer may cover one), and the
    midpoints between rings stay free of overlay."""
    rays = [math.radians(a) for a in (20, 110, 200, 290)]
    hits = [sum(grey_near(rows, cx, cy, a, r, off_rows) for a in rays) for r in radii]
    missing = ["%.1f px (%d of 4 rays)" % (r, n) for r, n in zip(radii, hits) if n < 3]
    check(not missing, "%s: no ring grey at the predicted radii %s" % (what, ", ".join(missing)))
    between = [(a, (r1 + r2) / 2) for r1, r2 in zip(radii, radii[1:]) for a in rays[:2]]
    stray = [(round(math.degrees(a)), m) for a, m in between
             if grey_near(rows, cx, cy, a, m, off_rows) and grey_near(rows, cx, cy, a, m + 1,
                                                                      off_rows)]
    check(not stray, "%s: ring grey between the rings at %r" % (what, stray))


# --- scenarios -----------------------------------------------------------------------------


def playback(s):
    # The screenshots below are taken without the overlays first.
    s.set_values({"ViewDialogBinV3": view_record(grid=0, pointer=0, showInfo=0)})
    refused_then_played(s)
    # One turn in 200 records (1.8° steps), played over and over at x16. Once a second pass has
    # gone round, the lines are those of the file played twice (the join between passes fills
    # the gap before the first record) and every pixel has been converted with both of its
    # lines present, as a single conversion does.
    # Russian users keep recordings in folders named in Russian (a command line naming a
    # non-Latin path is the Korean start's). The file is written under an ASCII name: the
    # companion's own path handling is not under test here.
    rec = os.path.join(s.folder("записи"), "запись.bin")
    os.replace(s.synth(os.path.join(s.work, "shot.bin"), "--turns", "1", "--step-index", "5"), rec)
    open_through_dialog(s, os.path.dirname(rec), [os.path.basename(rec)])
    expect_playing(s, "the open-file dialog in a Cyrillic folder")
    no_dialog(s, "a Cyrillic path")
    for speed in ("x2", "x4", "x8", "x16"):
        s.must("click", "Button", speed)
    s.must("find-child", "Button", PLAY, timeout_ms=5000, what="speed x16")

    # "Every turn": a silent automatic file per timer tick that follows a completed turn.
    s.must("command", AUTO_EVERY_TURN)
    no_dialog(s, "automatic screenshots", 3000)
    wait(lambda: len(shots(s, "autoscreenshot")) >= 3, 30, lambda: "automatic files after a "
         "while of \"Every turn\": %r" % shots(s, "autoscreenshot"), 0.5)
    s.must("command", AUTO_OFF)
    auto = shots(s, "autoscreenshot")
    check(not shots(s, "screenshot"), "manual files from automatic requests: %r"
          % shots(s, "screenshot"))
    side, height, rows = read_png(auto[0])
    check(side == height and any(any(p != (0, 0, 0) for p in row) for row in rows),
          "%s: %dx%d, empty" % (auto[0], side, height))

    # Three ticks saw a completed turn: the second pass is complete. Without "Playback
    # continuously" the playback ends with the pass under way, and the lines are then exactly
    # those of the file played twice, the join between passes included.
    view_dialog(s, True, ["Playback continuously"])
    wait(lambda: not scan_changes(s, 2.0), 30,
         "the playback goes on without \"Playback continuously\"", 0)
    files = manual_screenshot(s, "Screenshot saved")
    check(len(files) == 1, "files after one manual screenshot: %r" % files)
    after_off = shots(s, "autoscreenshot")
    left, top, right, bottom = rect(s, "Radar scan", "*")[:4]
    w, h = right - left, bottom - top
    side, height, off = read_png(files[0])
    check(side == height == max(w, h), "screenshot %dx%d, scan view %dx%d" % (side, height, w, h))
    ox, oy = (side - w) // 2, (side - h) // 2
    rendered = s.render(os.path.join(s.work, "render.png"), rec, rec, "--size", "%dx%d" % (w, h))
    # The same portable paint on both sides, and each pixel's direction rounded from the
    # double-precision arctangent, on which the C libraries agree: every pixel equal.
    wrong = [(x, y) for y, row in enumerate(rendered) for x, p in enumerate(row)
             if off[oy + y][ox + x] != p]
    check(not wrong, "overlays off: %d of %d pixels differ from sk720 render (first at %r)"
          % (len(wrong), w * h, wrong[:5]))

    # Overlays on through the dialog: rings, spokes, pointer and the information strip.
    view_dialog(s, True, ["Grid", "Pointer", "Show info"])
    stored = s.values().get("ViewDialogBinV3")
    # The compass group's "Zero always up" is always ticked.
    check(stored == view_record(playbackContinuously=0), "stored with the overlays: %r" % stored)
    os.remove(files[0])
    # One file a request, as the first screenshot showed.
    _, _, on = read_png(manual_screenshot(s, "Screenshot saved")[0])

    # The rings the scan view draws: every fifth of the display range out to the head's range
    # (here both 10 m), the k-th at k·fit·side/10.
    c, radii = side // 2, [k * min(w, h) / max(w, h) * side / 10 for k in range(1, 6)]
    check_rings("screenshot", on, off, c, c, radii)
    overlays = s.render(os.path.join(s.work, "render-overlays.png"), rec, rec, "--size",
                        "%dx%d" % (w, h), "--overlays")
    check_rings("sk720 render --overlays", overlays, rendered, c - ox, c - oy, radii)
    # The strip is drawn straight onto the square's top rows: white text over the echo.
    text = [(x, y) for y in range(0, 100) for x in range(min(side, 400))
            if on[y][x] != off[y][x] and min(on[y][x]) >= 0xC0]
    check(len(text) >= 200, "only %d text pixels in the strip of the screenshot" % len(text))
    check(shots(s, "autoscreenshot") == after_off, "automatic files still appear after \"Off\"")
    check(s.quit() == 0, "exit code not 0")


ALL = {"playback": playback}
