"""The Korean interface on screen: Hangul drawn as Hangul, not as the boxes of a missing glyph.

The glyph test draws a known Korean label and then the same button with a character no font has
(its box glyph): the two pictures must differ. Without a Korean font both are boxes. The main
window, the sonar settings dialog and a screenshot with a Korean path in its strip are kept as
PNG files under the run's folder for a look.
"""
import glob
import os
import struct
import time
import zlib

from harness import read_png
from scenarios import check

START_KO = "시작"
NO_GLYPH = "\u0378\u0378"  # unassigned: every font draws its box
SCREENSHOT = 32782


def read_bmp(path):
    """(width, height, rows of (r, g, b)) of the driver's 24-bit bottom-up BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        line = data[offset + y * stride:offset + y * stride + width * 3]
        rows.append([(line[x + 2], line[x + 1], line[x]) for x in range(0, width * 3, 3)])
    return width, height, rows


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]),
                                                                   len(rows), 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def capture(s, name, command, *target):
    bmp = os.path.join(s.root, name + ".bmp")
    if command == "capture-dialog":
        s.must(command, *target, s.windows_path(bmp), what="capture " + name)
    else:
        s.must(command, s.windows_path(bmp), *target, what="capture " + name)
    _, _, rows = read_bmp(bmp)
    write_png(os.path.join(s.root, name + ".png"), rows)
    return rows


def korean_glyphs(s):
    folder = os.path.join(s.work, "한글 자료")
    os.makedirs(folder, exist_ok=True)
    rec = s.synth(os.path.join(folder, "기록.bin"), "--turns", "2")
    s.set_string("Language", "0412")
    s.launch(s.windows_path(rec))
    s.must("find-child", "Button", START_KO, timeout_ms=10000, what="Korean Start button")
    time.sleep(2)
    capture(s, "korean-main", "capture")
    hangul = capture(s, "korean-start", "capture", "Button", START_KO)
    s.must("set-text", "Button", START_KO, NO_GLYPH)
    time.sleep(0.5)
    boxes = capture(s, "korean-start-boxes", "capture", "Button", NO_GLYPH)
    s.must("set-text", "Button", NO_GLYPH, START_KO)
    differ = sum(1 for a, b in zip(hangul, boxes) for p, q in zip(a, b) if p != q)
    check(differ > 20, "the Korean label draws as the box glyph (%d pixels differ)" % differ)

    # The strip of a screenshot: the played file's path is in its status line.
    s.drive("command", str(SCREENSHOT), "--scan", "--watch", timeout_ms=10000)
    pngs = glob.glob(os.path.join(s.documents(), "SK720_DATA", "*.png"))
    check(pngs, "no screenshot")
    _, _, rows = read_png(pngs[0])
    write_png(os.path.join(s.root, "korean-screenshot-strip.png"), rows[:100])

    s.must("click", "Button", "소나 상세 설정", timeout_ms=5000, what="sonar settings button")
    s.must("wait-dialog", "*", timeout_ms=10000, what="sonar settings dialog")
    time.sleep(1)
    capture(s, "korean-dialog", "capture-dialog", "*")
    s.must("press-dialog-button", "*", "취소")
    s.must("wait-dialog-gone", "*", timeout_ms=10000, what="dialog closes")
    check(s.quit() == 0, "exit code not 0")


KOREAN = {"korean_glyphs": korean_glyphs}
