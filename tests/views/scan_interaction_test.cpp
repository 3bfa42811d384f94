// Zoom, drag, re-centre and ruler of the scan view, and the window of the image it shows.
#include "views/scan_interaction.h"

#include <gtest/gtest.h>

namespace sk720 {
namespace {

// The index steps toward the table's ends, but never to a range beyond the echo data's.
TEST(ScanInteraction, ZoomSettlesAtTheEndsAndAgainstTheDataRange) {
  const int32_t settle[][3] = {{-3, 1500, 0}, {20, 1500, 14},  {5, 3000, 2},
                               {7, 60000, 7}, {11, 60000, 11}, {12, 60000, 11}};
  for (const auto& c : settle) EXPECT_EQ(settleZoomIndex(c[0], c[1]), c[2]) << c[0];
  const struct {
    int32_t index, delta, rangeMm;
    ScanEffect effect;
    int32_t after;
  } wheels[] = {
      {0, 120, 10000, ScanEffect::None, 0},     {6, -120, 10000, ScanEffect::None, 6},
      {14, -120, 150000, ScanEffect::None, 14}, {9, 0, 30000, ScanEffect::None, 9},
      {6, -120, 60000, ScanEffect::Rebuild, 7}, {6, 120, 60000, ScanEffect::Rebuild, 5},
      {6, 1, 60000, ScanEffect::Rebuild, 5},    {11, -120, 10000, ScanEffect::Rebuild, 6},
  };
  for (const auto& w : wheels) {
    ScanInteraction s;
    s.displayRangeIndex = w.index;
    EXPECT_EQ(onWheel(s, w.delta, w.rangeMm), w.effect) << w.index << " " << w.delta;
    EXPECT_EQ(s.displayRangeIndex, w.after);
    s.displayRangeIndex = w.index;
    EXPECT_EQ(onZoomKey(s, w.delta > 0, w.rangeMm), w.effect) << w.index << " " << w.delta;
    EXPECT_EQ(s.displayRangeIndex, w.after);
  }
  ScanInteraction s;
  toggleRuler(s);  // the ruler holds the zoom
  EXPECT_EQ(onZoomKey(s, false, 60000), ScanEffect::None);
  EXPECT_EQ(onWheel(s, -120, 60000), ScanEffect::None);
  EXPECT_EQ(s.displayRangeIndex, 6);
  const std::pair<uint32_t, ScanKey> keys[] = {{0x49, ScanKey::ZoomIn},
                                               {0x4F, ScanKey::ZoomOut},
                                               {0x7A, ScanKey::FullScreen},
                                               {0x50, ScanKey::Other}};
  for (const auto& [key, meaning] : keys) EXPECT_EQ(scanKeyOf(key), meaning) << key;
}

TEST(ScanInteraction, DragShiftsThenCommitsThePan) {
  ScanInteraction s;
  EXPECT_EQ(onLeftButtonDown(s, 100, 100, false), ScanEffect::None);
  EXPECT_EQ(onMouseMove(s, 130, 110, true, false), ScanEffect::Repaint);
  EXPECT_EQ(onMouseMove(s, 150, 120, true, false), ScanEffect::Repaint);
  EXPECT_EQ(std::vector<int32_t>({s.panX, s.panY, s.dragShiftX, s.dragShiftY}),
            std::vector<int32_t>({-50, -20, -50, -20}));
  ImageOrigin o = visibleOrigin(s, 800, 600);  // wider than tall: rows 100.. shown
  EXPECT_EQ(std::pair(o.x, o.y), std::pair(-50, 80));

  EXPECT_EQ(onLeftButtonUp(s, 150, 120, true), ScanEffect::None);  // button still down
  EXPECT_EQ(onLeftButtonUp(s, 160, 125, false), ScanEffect::Rebuild);
  EXPECT_EQ(std::vector<int32_t>({s.panX, s.panY, s.dragShiftX, s.dragging}),
            std::vector<int32_t>({-60, -25, 0, 0}));
  EXPECT_EQ(onLeftButtonUp(s, 160, 125, false), ScanEffect::None);  // no drag to end
  o = visibleOrigin(s, 600, 800);
  EXPECT_EQ(std::pair(o.x, o.y), std::pair(100, 0));

  // Shift held: moves do not pan; Shift+click re-centres and rebuilds, even unpanned.
  onLeftButtonDown(s, 10, 10, false);
  EXPECT_EQ(onMouseMove(s, 40, 40, true, true), ScanEffect::None);
  EXPECT_EQ(onMouseMove(s, 40, 40, false, false), ScanEffect::None);
  EXPECT_EQ(onLeftButtonDown(s, 7, 9, true), ScanEffect::Rebuild);
  EXPECT_EQ(std::vector<int32_t>({s.panX, s.panY, s.dragging}), std::vector<int32_t>({0, 0, 1}));
  EXPECT_EQ(std::pair(s.cursorX, s.cursorY), std::pair(40, 40));

  s.panX = 33;
  s.displayRangeIndex = 2;
  resetForNewData(s, 60000);
  EXPECT_EQ(std::vector<int32_t>({s.panX, s.displayRangeIndex, s.dragging}),
            std::vector<int32_t>({0, 11, 1}));
  s.panY = 5;
  resetForResize(s);
  EXPECT_EQ(std::vector<int32_t>({s.panY, s.displayRangeIndex, s.dragging}),
            std::vector<int32_t>({0, 11, 0}));
}

TEST(ScanInteraction, LostCaptureEndsTheDragWhereTheMouseWasLastSeen) {
  ScanInteraction s;
  onLeftButtonDown(s, 100, 100, false);
  onMouseMove(s, 130, 110, true, false);
  EXPECT_EQ(onCaptureLost(s), ScanEffect::Rebuild);
  EXPECT_EQ(std::vector<int32_t>({s.panX, s.panY, s.dragging}),
            std::vector<int32_t>({-30, -10, 0}));
  // No shifted window with black margins: the origin is the undragged one.
  const ImageOrigin o = visibleOrigin(s, 800, 600);
  EXPECT_EQ(std::pair(o.x, o.y), std::pair(0, 100));
  // A later move with the button up does not pan, and a second loss changes nothing.
  EXPECT_EQ(onMouseMove(s, 300, 300, false, false), ScanEffect::None);
  EXPECT_EQ(onCaptureLost(s), ScanEffect::None);
  EXPECT_EQ(s.panX, -30);
}

TEST(ScanInteraction, RulerClicksAndNoDragWhileOn) {
  ScanInteraction s;
  toggleRuler(s);
  EXPECT_EQ(onLeftButtonDown(s, 100, 100, false), ScanEffect::Repaint);
  EXPECT_EQ(s.rulerState, 1);
  EXPECT_EQ(onMouseMove(s, 100, 500, true, false), ScanEffect::Repaint);
  EXPECT_EQ(std::vector<int32_t>({s.rulerX1, s.rulerY1, s.rulerX2, s.rulerY2, s.dragging}),
            std::vector<int32_t>({100, 100, 100, 500, 0}));
  EXPECT_EQ(onLeftButtonUp(s, 100, 500, false), ScanEffect::None);
  onLeftButtonDown(s, 100, 500, false);
  EXPECT_EQ(s.rulerState, 2);
  EXPECT_EQ(onMouseMove(s, 300, 300, false, false), ScanEffect::None);  // fixed: the end stays
  EXPECT_EQ(std::vector<int32_t>({s.rulerY2, s.cursorX}), std::vector<int32_t>({500, 300}));
  onLeftButtonDown(s, 20, 30, false);  // a new line starts
  EXPECT_EQ(std::vector<int32_t>({s.rulerState, s.rulerX1, s.rulerY1, s.rulerX2, s.rulerY2}),
            std::vector<int32_t>({1, 20, 30, 20, 30}));
  toggleRuler(s);
  EXPECT_EQ(std::pair(s.rulerMode, s.rulerState), std::pair(0, 0));
}

}  // namespace
}  // namespace sk720
