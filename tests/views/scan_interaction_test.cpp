// Zoom, drag, re-centre and ruler of the scan view, and the window of the image it shows.
#include "views/scan_interaction.h"

#include <gtest/gtest.h>

namespace sk720 {
namespace {

TEST(ScanInteraction, ZoomSettlesAtTheEndsAndAgainstTheDataRange) {
  EXPECT_EQ(settleZoomIndex(-3, 1500), 0);
  EXPECT_EQ(settleZoomIndex(20, 1500), 14);  // beyond the table: no range test
  EXPECT_EQ(settleZoomIndex(5, 3000), 2);    // 7.5 m > 3 m snaps to 3 m
  EXPECT_EQ(settleZoomIndex(7, 60000), 7);

  ScanInteraction s;
  s.displayRangeIndex = 0;
  EXPECT_EQ(onWheel(s, 120, 10000), ScanEffect::None);
  EXPECT_EQ(s.displayRangeIndex, 0);

  s.displayRangeIndex = 6;  // 10 m shown, sonar at 10 m: cannot zoom out
  EXPECT_EQ(onWheel(s, -120, 10000), ScanEffect::None);
  EXPECT_EQ(s.displayRangeIndex, 6);

  s.displayRangeIndex = 14;
  EXPECT_EQ(onZoomKey(s, false, 150000), ScanEffect::None);
  EXPECT_EQ(s.displayRangeIndex, 14);

  s.displayRangeIndex = 9;  // 30 m: 45 m exceeds the sonar's 30 m
  EXPECT_EQ(onWheel(s, 0, 30000), ScanEffect::None);
  EXPECT_EQ(s.displayRangeIndex, 9);

  s.displayRangeIndex = 6;
  EXPECT_EQ(onWheel(s, -120, 60000), ScanEffect::Rebuild);
  EXPECT_EQ(s.displayRangeIndex, 7);

  toggleRuler(s);
  EXPECT_EQ(onZoomKey(s, false, 60000), ScanEffect::None);
  EXPECT_EQ(onWheel(s, -120, 60000), ScanEffect::None);
  EXPECT_EQ(s.displayRangeIndex, 7);
}

TEST(ScanInteraction, DragShiftsThenCommitsThePan) {
  ScanInteraction s;
  EXPECT_EQ(onLeftButtonDown(s, 100, 100, false), ScanEffect::None);
  EXPECT_EQ(onMouseMove(s, 130, 110, true, false), ScanEffect::Repaint);
  EXPECT_EQ(onMouseMove(s, 150, 120, true, false), ScanEffect::Repaint);
  EXPECT_EQ(s.dragShiftX, -50);
  EXPECT_EQ(s.dragShiftY, -20);
  ImageOrigin o = visibleOrigin(s, 800, 600);  // wider than tall: rows 100.. shown
  EXPECT_EQ(o.x, -50);
  EXPECT_EQ(o.y, 80);

  EXPECT_EQ(onLeftButtonUp(s, 150, 120, true), ScanEffect::None);  // button still down
  EXPECT_EQ(onLeftButtonUp(s, 150, 120, false), ScanEffect::Rebuild);
  EXPECT_EQ(s.panX, -50);
  EXPECT_EQ(s.panY, -20);
  EXPECT_EQ(s.dragging, 0);
  o = visibleOrigin(s, 600, 800);
  EXPECT_EQ(o.x, 100);
  EXPECT_EQ(o.y, 0);

  // Shift held: moves do not pan; Shift+click re-centres and rebuilds, even unpanned.
  onLeftButtonDown(s, 10, 10, false);
  EXPECT_EQ(onMouseMove(s, 40, 40, true, true), ScanEffect::None);
  EXPECT_EQ(onLeftButtonDown(s, 7, 9, true), ScanEffect::Rebuild);
  EXPECT_EQ(s.panX, 0);
  EXPECT_EQ(s.panY, 0);
  EXPECT_EQ(s.dragging, 1);  // left as it was

  s.panX = 33;
  s.displayRangeIndex = 2;
  resetForNewData(s, 60000);
  EXPECT_EQ(s.panX, 0);
  EXPECT_EQ(s.displayRangeIndex, 11);
  EXPECT_EQ(s.dragging, 1);
  resetForResize(s);
  EXPECT_EQ(s.dragging, 0);
  EXPECT_EQ(s.displayRangeIndex, 11);
}

TEST(ScanInteraction, LostCaptureEndsTheDragWhereTheMouseWasLastSeen) {
  ScanInteraction s;
  onLeftButtonDown(s, 100, 100, false);
  onMouseMove(s, 130, 110, true, false);
  EXPECT_EQ(onCaptureLost(s), ScanEffect::Rebuild);
  EXPECT_EQ(s.dragging, 0);
  EXPECT_EQ(s.panX, -30);
  EXPECT_EQ(s.panY, -10);
  // No shifted window with black margins: the origin is the undragged one.
  const ImageOrigin o = visibleOrigin(s, 800, 600);
  EXPECT_EQ(o.x, 0);
  EXPECT_EQ(o.y, 100);
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
  onMouseMove(s, 100, 500, true, false);
  EXPECT_EQ(s.rulerX2, 100);
  EXPECT_EQ(s.rulerY2, 500);
  EXPECT_EQ(s.dragging, 0);
  onLeftButtonDown(s, 100, 500, false);
  EXPECT_EQ(s.rulerState, 2);
  onMouseMove(s, 300, 300, false, false);  // fixed: the end stays
  EXPECT_EQ(s.rulerY2, 500);
  EXPECT_EQ(s.cursorX, 300);
  onLeftButtonDown(s, 20, 30, false);  // a new line starts
  EXPECT_EQ(s.rulerState, 1);
  EXPECT_EQ(s.rulerX1, 20);
  EXPECT_EQ(s.rulerY2, 30);
  toggleRuler(s);
  EXPECT_EQ(s.rulerMode, 0);
  EXPECT_EQ(s.rulerState, 0);
}

}  // namespace
}  // namespace sk720
