// Zoom, drag, re-centre and ruler of the scan view, and the window of the image it shows.
#include "views/scan_interaction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sk720 {
namespace {

using V = std::vector<int32_t>;

// Effects as letters: '-' nothing, 'p' repaint, 'R' rebuild.
char e(ScanEffect effect) { return "-pR"[int(effect)]; }

// The index steps toward the table's ends, but never to a range beyond the echo data's.
TEST(ScanInteraction, ZoomSettlesAtTheEndsAndAgainstTheDataRange) {
  const int32_t settle[][3] = {{-3, 1500, 0}, {20, 1500, 14},  {5, 3000, 2},
                               {7, 60000, 7}, {11, 60000, 11}, {12, 60000, 11}};
  for (const auto& c : settle) EXPECT_EQ(settleZoomIndex(c[0], c[1]), c[2]) << c[0];
  // index, wheel delta, data range; effect, index after
  const int32_t wheels[][5] = {{0, 120, 10000, 0, 0},     {6, -120, 10000, 0, 6},
                               {14, -120, 150000, 0, 14}, {9, 0, 30000, 0, 9},
                               {6, -120, 60000, 2, 7},    {6, 120, 60000, 2, 5},
                               {6, 1, 60000, 2, 5},       {11, -120, 10000, 2, 6}};
  for (const auto& [index, delta, rangeMm, effect, after] : wheels) {
    ScanInteraction s, k;
    s.displayRangeIndex = k.displayRangeIndex = index;
    EXPECT_EQ(V({int32_t(onWheel(s, delta, rangeMm)), s.displayRangeIndex,
                 int32_t(onZoomKey(k, delta > 0, rangeMm)), k.displayRangeIndex}),
              V({effect, after, effect, after}))
        << index << " " << delta;
  }
  ScanInteraction s;
  toggleRuler(s);  // the ruler holds the zoom
  EXPECT_EQ(std::string({e(onZoomKey(s, false, 60000)), e(onWheel(s, -120, 60000))}), "--");
  EXPECT_EQ(s.displayRangeIndex, 6);
  EXPECT_EQ(
      V({int(scanKeyOf(0x49)), int(scanKeyOf(0x4F)), int(scanKeyOf(0x7A)), int(scanKeyOf(0x50))}),
      V({int(ScanKey::ZoomIn), int(ScanKey::ZoomOut), int(ScanKey::FullScreen),
         int(ScanKey::Other)}));
}

TEST(ScanInteraction, DragShiftsThenCommitsThePan) {
  ScanInteraction s;
  std::string effects = {e(onLeftButtonDown(s, 100, 100, false)),
                         e(onMouseMove(s, 130, 110, true, false)),
                         e(onMouseMove(s, 150, 120, true, false))};
  EXPECT_EQ(V({s.panX, s.panY, s.dragShiftX, s.dragShiftY}), V({-50, -20, -50, -20}));
  ImageOrigin o = visibleOrigin(s, 800, 600);  // wider than tall: rows 100.. shown
  EXPECT_EQ(V({o.x, o.y}), V({-50, 80}));
  effects += e(onLeftButtonUp(s, 150, 120, true));  // button still down
  effects += e(onLeftButtonUp(s, 160, 125, false));
  EXPECT_EQ(V({s.panX, s.panY, s.dragShiftX, s.dragging}), V({-60, -25, 0, 0}));
  effects += e(onLeftButtonUp(s, 160, 125, false));  // no drag to end
  o = visibleOrigin(s, 600, 800);
  EXPECT_EQ(V({o.x, o.y}), V({100, 0}));

  // Shift held: moves do not pan; Shift+click re-centres and rebuilds, even unpanned.
  onLeftButtonDown(s, 10, 10, false);
  effects += e(onMouseMove(s, 40, 40, true, true));
  effects += e(onMouseMove(s, 40, 40, false, false));
  effects += e(onLeftButtonDown(s, 7, 9, true));
  EXPECT_EQ(effects, "-pp-R---R");
  EXPECT_EQ(V({s.panX, s.panY, s.dragging, s.cursorX, s.cursorY}), V({0, 0, 1, 40, 40}));

  s.panX = 33;
  s.displayRangeIndex = 2;
  resetForNewData(s, 60000);
  EXPECT_EQ(V({s.panX, s.displayRangeIndex, s.dragging}), V({0, 11, 1}));
  s.panY = 5;
  resetForResize(s);
  EXPECT_EQ(V({s.panY, s.displayRangeIndex, s.dragging}), V({0, 11, 0}));
}

TEST(ScanInteraction, LostCaptureEndsTheDragWhereTheMouseWasLastSeen) {
  ScanInteraction s;
  onLeftButtonDown(s, 100, 100, false);
  onMouseMove(s, 130, 110, true, false);
  std::string effects = {e(onCaptureLost(s))};
  // No shifted window with black margins: the origin is the undragged one.
  const ImageOrigin o = visibleOrigin(s, 800, 600);
  EXPECT_EQ(V({s.panX, s.panY, s.dragging, o.x, o.y}), V({-30, -10, 0, 0, 100}));
  // A later move with the button up does not pan, and a second loss changes nothing.
  effects += e(onMouseMove(s, 300, 300, false, false));
  effects += e(onCaptureLost(s));
  EXPECT_EQ(effects + std::to_string(s.panX), "R---30");
}

TEST(ScanInteraction, RulerClicksAndNoDragWhileOn) {
  ScanInteraction s;
  toggleRuler(s);
  std::string effects = {e(onLeftButtonDown(s, 100, 100, false))};
  const int32_t firstState = s.rulerState;
  effects += e(onMouseMove(s, 100, 500, true, false));
  EXPECT_EQ(V({firstState, s.rulerX1, s.rulerY1, s.rulerX2, s.rulerY2, s.dragging}),
            V({1, 100, 100, 100, 500, 0}));
  effects += e(onLeftButtonUp(s, 100, 500, false));
  onLeftButtonDown(s, 100, 500, false);
  const int32_t fixedState = s.rulerState;
  effects += e(onMouseMove(s, 300, 300, false, false));  // fixed: the end stays
  EXPECT_EQ(effects, "pp--");
  EXPECT_EQ(V({fixedState, s.rulerY2, s.cursorX}), V({2, 500, 300}));
  onLeftButtonDown(s, 20, 30, false);  // a new line starts
  EXPECT_EQ(V({s.rulerState, s.rulerX1, s.rulerY1, s.rulerX2, s.rulerY2}), V({1, 20, 30, 20, 30}));
  toggleRuler(s);
  EXPECT_EQ(V({s.rulerMode, s.rulerState}), V({0, 0}));
}

}  // namespace
}  // namespace sk720
