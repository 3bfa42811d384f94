#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "scan/overlay_geometry.h"
#include "views/overlay_layer_win32.h"
#include "views/overlay_painter_win32.h"
#include "views/screenshot_win32.h"

namespace sk720 {
namespace {

// A black 32-bit top-down DIB selected into a memory DC (which gives it back when deleted).
struct Surface {
  Surface(int w, int h) : w(w), info{{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB}} {
    bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    SelectObject(dc, bmp);
  }
  ~Surface() {
    DeleteDC(dc);
    DeleteObject(bmp);
  }
  uint32_t at(int x, int y) {
    GdiFlush();
    return bits[y * w + x] & 0xFFFFFF;
  }
  const int w;
  const BITMAPINFO info;
  const HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = nullptr;
  uint32_t* bits = nullptr;
};

class GdiPlusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token_, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(token_); }
  ULONG_PTR token_ = 0;
};

// The strip drawn again line by line ends as a whole redraw leaves it, and rows no changed line
// reaches are not touched.
TEST_F(GdiPlusTest, TheStripRedrawnLineByLineIsTheWholeRedraw) {
  const auto strip = [](std::vector<std::string> texts) {
    OverlayList l;
    for (size_t i = 0; i < texts.size(); ++i)
      if (!texts[i].empty()) l.text(0, 12.0f * float(i), 12, false, 0xFFFFFFFF).text = texts[i];
    return l;
  };
  std::vector<std::string> lines({"Z:\\p.bin", "Pulse: AFM, 512 us", "Step 0.1125", "Gain: 0 dB",
                                  "ID: 720001 Head: Down", "Sector mode: off", "GPS: N/A",
                                  "Cursor: 35 05.7003 N, 129 02.4069 E"});
  const OverlayList a = strip(lines);
  lines[0] = "Z:\\q.bin", lines[7] = "Cursor: 35 05.6921 N, 129 02.3880 E";
  const OverlayList b = strip(lines);
  lines[0] = "Z:\\p.bin", lines[3] = "Gain: -6 dB", lines[4] = "", lines[7] = "Cursor: gone";
  const OverlayList c = strip(lines);
  OverlayPainterWin32 painter;
  Surface step(300, 100), whole(300, 100);
  const auto same = [&] {
    GdiFlush();
    return std::equal(step.bits, step.bits + 300 * 100, whole.bits,
                      [](uint32_t x, uint32_t y) { return ((x ^ y) & 0xFFFFFF) == 0; });
  };
  redrawStrip(painter, step.dc, 300, 100, OverlayList(), a, true);
  // The first line and the last change: a mark in the middle rows, which neither reaches, stays.
  step.bits[300 * 48 + 299] = 0xFFFFFF;
  redrawStrip(painter, step.dc, 300, 100, a, b, false);
  EXPECT_EQ(step.at(299, 48), 0xFFFFFFu);
  step.bits[300 * 48 + 299] = 0;
  redrawStrip(painter, whole.dc, 300, 100, OverlayList(), b, true);
  EXPECT_TRUE(same());
  redrawStrip(painter, step.dc, 300, 100, b, c, false);
  EXPECT_FALSE(same());
  redrawStrip(painter, whole.dc, 300, 100, OverlayList(), c, true);
  EXPECT_TRUE(same());
}

// A kept dial ORs exactly the pixels a dial painted anew does, over a picture, at the frame's
// right edge and hanging off its left one; a heading seen before draws nothing new. Its ring and
// its centre text (bold, as no strip text is) are there.
TEST_F(GdiPlusTest, KeptDialsAreTheDialsPaintedAnew) {
  OverlayPainterWin32 painter;
  DialPictures kept;
  constexpr int W = 260, H = 130;
  // size, heading, left edge; pictures kept after it
  const int32_t cases[][4] = {{100, 0, W - 100, 1}, {100, 37, W - 100, 2}, {120, 37, W - 120, 3},
                              {100, 37, -30, 3},    {100, 359, 10, 4},     {100, 0, W - 100, 4}};
  for (const auto& [size, heading, x, keptAfter] : cases) {
    SCOPED_TRACE(heading);
    OverlayFrame frame{
        .dialVisible = true, .dialX = x, .dialY = 0, .dialWidth = size, .dialHeight = size};
    addHeadingDial(frame.dial, size, size, heading, 0);
    Surface painted(W, H), composed(W, H);
    for (int i = 0; i < W * H; ++i)
      painted.bits[i] = composed.bits[i] = 0x00000203u * uint32_t(i % 61);
    painter.paintDialOr(painted.dc, frame, frame.dialX, frame.dialY);
    kept.compose(painter, frame, composed.dc, composed.bits, W, H);
    GdiFlush();
    int differing = 0, lit = 0, ring = 0, centreText = 0;
    for (int i = 0; i < W * H; ++i) {
      differing += painted.bits[i] != composed.bits[i];
      lit += painted.bits[i] != 0x00000203u * uint32_t(i % 61);
      // The picture has no red: the ring's grey shows 45 degrees from the top (a 100-pixel dial
      // at heading 0 has its ticks 4 pixels away), the centre text's light grey above the
      // needles'.
      const int dx = i % W - x - size / 2, dy = i / W - size / 2;
      const uint32_t red = (painted.bits[i] >> 16) & 0xFF;
      ring += std::abs(dx - size * 7 / 20) <= 1 && std::abs(dy + size * 7 / 20) <= 1 && red == 0x78;
      centreText += dx >= -13 && dx < 13 && dy >= -9 && dy < 6 && red > 0x80;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(lit, 500);  // the dial is there at all
    EXPECT_TRUE(ring > 0 && centreText > 10) << ring << " ring, centre text " << centreText;
    EXPECT_EQ(kept.kept(), size_t(keptAfter));
  }
}

// Saved and unwritable screenshots are seen end to end; a path beyond the system's length is
// refused before anything is made.
TEST_F(GdiPlusTest, ScreenshotPathBeyondTheSystemsLengthIsNotAttempted) {
  CLSID clsid;
  ASSERT_TRUE(FindImageEncoder(L"image/png", &clsid));
  const std::string folder = pathToUtf8(std::filesystem::temp_directory_path() / "sk720-shot");
  Surface canvas(64, 64);
  const ScreenshotResult r = saveScreenshot(folder + "\\" + std::string(250, 'x'),
                                            ScreenshotKind::Manual, &canvas.info, canvas.bits);
  EXPECT_FALSE(r.saved);
  EXPECT_EQ(r.failure, ScreenshotFailure::PathTooLong);
  EXPECT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace sk720
