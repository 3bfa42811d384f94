// The slider bar's thumb, arrows, clicks and drag; the echo trace's polygon and grid.
#include "views/slider_geometry.h"

#include <gtest/gtest.h>

#include "views/echo_trace.h"

namespace sk720 {
namespace {

constexpr int32_t kRight = 522, kH = 22;  // track 478 pixels

PlaybackReport reportOf(uint64_t fileSize, uint64_t position) {
  PlaybackReport r;
  r.linesPerTurn = 3200;
  r.recordLength = 500;
  r.datasize = 2;  // 3 200 000 bytes a turn
  r.fileSize = fileSize;
  r.position = position;
  return r;
}

TEST(SliderGeometry, ThumbFromTheReport) {
  EXPECT_EQ(turnBytes(reportOf(0, 0)), 3200000u);
  PlaybackReport big = reportOf(0, 0);
  big.linesPerTurn = 65535;
  big.recordLength = 65535;
  big.datasize = 65535;
  EXPECT_EQ(turnBytes(big), 65535ull * 65535ull * 65535ull);

  SliderState s;
  ASSERT_TRUE(sliderTakeReport(s, reportOf(32000000, 16000000), kRight, kH));
  EXPECT_EQ(s.thumbLength, 47);
  EXPECT_EQ(s.freeLength, 431);
  EXPECT_EQ(s.thumbRect.left, 22 + 215);
  EXPECT_EQ(s.thumbRect.bottom, 18);

  sliderTakeReport(s, reportOf(32000000000ull, 0), kRight, kH);  // very long file
  EXPECT_EQ(s.thumbLength, 20);
  sliderTakeReport(s, reportOf(1000000, 500000), kRight, kH);  // shorter than a turn
  EXPECT_EQ(s.thumbLength, 478);
  EXPECT_EQ(s.freeLength, 0);
  EXPECT_EQ(sliderPositionAt(s, 300, kRight, kH), 0);  // half a turn before the end is < 0
  EXPECT_EQ(sliderPositionAt(s, 10, kRight, kH), 0);
}

TEST(SliderGeometry, NothingKnownOrNoRoomDividesByNothing) {
  SliderState s;
  computeSliderGeometry(s, kRight, kH);  // before the first report
  EXPECT_EQ(sliderPositionAt(s, 200, kRight, kH), 0);
  EXPECT_EQ(sliderClick(s, 5, 10, kRight, kH), kNoSeekRequest);
  EXPECT_EQ(sliderClick(s, 200, 10, kRight, kH), kNoSeekRequest);
  EXPECT_EQ(s.dragging, 0);

  sliderTakeReport(s, reportOf(32000000, 1000), 30, kH);  // narrower than the two arrows
  EXPECT_EQ(s.thumbLength, 0);
  EXPECT_EQ(s.freeLength, 0);
  EXPECT_EQ(sliderPositionAt(s, 5, 30, kH), 0);
  EXPECT_EQ(sliderPositionAt(s, 15, 30, kH), 32000000 - 1600000);
}

TEST(SliderGeometry, ArrowAndTrackClicksStayInsideTheFile) {
  SliderState s;
  sliderTakeReport(s, reportOf(32000000, 16000000), kRight, kH);
  EXPECT_EQ(sliderClick(s, 5, 10, kRight, kH), 12800000);
  EXPECT_EQ(s.report.position, 12800000u);
  EXPECT_EQ(sliderClick(s, 515, 10, kRight, kH), 16000000);
  s.report.position = 31000000;
  EXPECT_EQ(sliderClick(s, 515, 10, kRight, kH), 30400000);  // half a turn before the end
  s.report.position = 1000000;
  EXPECT_EQ(sliderClick(s, 5, 10, kRight, kH), 0);  // never before the start

  s.report.position = 0;
  sliderTakeReport(s, s.report, kRight, kH);
  // Track: the thumb's centre under the pointer, (300 - 23 - 22) x size / 431.
  EXPECT_EQ(sliderClick(s, 300, 10, kRight, kH), 18932714);
  EXPECT_EQ(s.report.position, 0u);  // the thumb waits for the next report
  sliderTakeReport(s, reportOf(32000000, 16000000), kRight, kH);
  EXPECT_EQ(sliderClick(s, 30, 10, kRight, kH), 0);  // left of half a thumb: the start
  EXPECT_EQ(sliderClick(s, 460, 10, kRight, kH), 30400000);
}

TEST(SliderGeometry, DragFollowsThePointerAndIgnoresReports) {
  SliderState s;
  sliderTakeReport(s, reportOf(32000000, 16000000), kRight, kH);
  EXPECT_EQ(sliderClick(s, 250, 10, kRight, kH), kNoSeekRequest);  // on the thumb
  EXPECT_EQ(s.dragging, 1);
  EXPECT_FALSE(sliderTakeReport(s, reportOf(32000000, 0), kRight, kH));
  EXPECT_EQ(s.thumbRect.left, 237);

  EXPECT_EQ(sliderMouseMove(s, 260, 10, true, kRight, kH), 15962877);
  EXPECT_EQ(s.report.position, 15962877u);
  EXPECT_EQ(s.thumbRect.left, 22 + 214);
  EXPECT_EQ(sliderMouseMove(s, 100, 10, true, kRight, kH), kNoSeekRequest);  // off the thumb
  EXPECT_EQ(sliderMouseMove(s, 260, 10, false, kRight, kH), kNoSeekRequest);
  EXPECT_EQ(s.dragging, 0);  // released outside: ended at the next move
  EXPECT_TRUE(sliderTakeReport(s, reportOf(32000000, 0), kRight, kH));
}

// Equilateral triangles of side 0.6 h (11 pixels) inset 5, pointing out of the track.
TEST(SliderGeometry, ArrowTriangles) {
  const SliderArrows a = sliderArrows(kRight, kH);
  const SliderPoint want[6] = {{5, 11},   {16, 4.4f},  {16, 17.6f},
                               {517, 11}, {506, 4.4f}, {506, 17.6f}};
  for (int i = 0; i < 6; ++i) {
    const SliderPoint& p = i < 3 ? a.left[i] : a.right[i - 3];
    EXPECT_FLOAT_EQ(p.x, want[i].x) << i;
    EXPECT_FLOAT_EQ(p.y, want[i].y) << i;
  }
}

TEST(EchoTrace, PolygonGridAndFrames) {
  EXPECT_EQ(echoTraceSamples(-1), 240);
  EXPECT_EQ(echoTraceSamples(20), 20000);

  std::vector<uint16_t> line(240, 0);
  line[0] = 4095;
  line[200] = 2048;
  line[239] = 65535;  // out of range: full scale
  std::vector<TracePoint> poly;
  echoTracePolygon(line.data(), 240, 400, 100, poly);
  ASSERT_EQ(poly.size(), 242u);
  EXPECT_EQ(poly[0].x, 200);
  EXPECT_EQ(poly[0].y, -1);
  EXPECT_EQ(poly[200].x, 400);
  EXPECT_EQ(poly[200].y, 48);
  EXPECT_EQ(poly[239].x, 439);
  EXPECT_EQ(poly[239].y, -1);
  EXPECT_EQ(poly[240].x, 439);
  EXPECT_EQ(poly[241].x, 200);
  EXPECT_EQ(poly[241].y, 98);

  echoTracePolygon(line.data(), 30, 400, 100, poly);  // fewer samples than the clipped tail
  EXPECT_EQ(poly.size(), 32u);

  const EchoTraceGrid g = echoTraceGrid(400, 100);
  EXPECT_EQ(g.gridY[0], 24);
  EXPECT_EQ(g.gridY[1], 49);
  EXPECT_EQ(g.gridY[2], 73);
  EXPECT_EQ(g.leftFrame[2].y, 99);
  EXPECT_EQ(g.rightFrame[1].x, 399);
}

}  // namespace
}  // namespace sk720
