// The slider bar's thumb, arrows, clicks and drag; the echo trace's polygon, grid and GPS lines;
// zoom, drag, re-centre and ruler of the scan view, and the window of the image it shows.
#include "views/slider_geometry.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "views/echo_trace.h"
#include "views/scan_interaction.h"

namespace sk720 {
namespace {

constexpr int32_t kRight = 522, kH = 22;  // track 478 pixels
constexpr uint64_t kFile = 32000000;      // ten turns
using V = std::vector<int64_t>;

// 3 200 000 bytes a turn
PlaybackReport reportOf(uint64_t fileSize, uint64_t position) {
  PlaybackReport r{.linesPerTurn = 3200, .recordLength = 500, .datasize = 2};
  r.fileSize = fileSize, r.position = position;
  return r;
}

TEST(SliderGeometry, ThumbFromTheReport) {
  PlaybackReport big{.linesPerTurn = 65535, .recordLength = 65535, .datasize = 65535};
  EXPECT_EQ(turnBytes(big), 65535ull * 65535ull * 65535ull);
  big.linesPerTurn = 0;
  EXPECT_EQ(turnBytes(big), 0u);
  // file size, position; thumb length, free length, thumb left (past the end: at the end; a
  // very long file: the smallest thumb; shorter than a turn: the whole track)
  const int64_t cases[][5] = {{kFile, kFile / 2, 47, 431, 22 + 215}, {kFile, 0, 47, 431, 22},
                              {kFile, kFile * 2, 47, 431, 22 + 431}, {32000000000, 0, 20, 458, 22},
                              {1000000, 500000, 478, 0, 22},         {3200000, 0, 478, 0, 22}};
  for (const auto& [size, position, thumb, free, left] : cases) {
    SliderState s;
    ASSERT_TRUE(sliderTakeReport(s, reportOf(uint64_t(size), uint64_t(position)), kRight, kH));
    EXPECT_EQ(V({s.thumbLength, s.freeLength, s.thumbRect.left, s.thumbRect.right, s.thumbRect.top,
                 s.thumbRect.bottom}),
              V({thumb, free, left, left + thumb, 4, 18}))
        << size << " " << position;
  }
  SliderState s;  // half a turn before the end is < 0
  sliderTakeReport(s, reportOf(1000000, 500000), kRight, kH);
  EXPECT_EQ(V({sliderPositionAt(s, 300, kRight, kH), sliderPositionAt(s, 10, kRight, kH)}),
            V(2, 0));
}

TEST(SliderGeometry, NothingKnownOrNoRoomDividesByNothing) {
  SliderState s;
  computeSliderGeometry(s, kRight, kH);  // before the first report
  EXPECT_EQ(V({sliderPositionAt(s, 200, kRight, kH), sliderClick(s, 5, 10, kRight, kH),
               sliderClick(s, 200, 10, kRight, kH), s.dragging}),
            V({0, kNoSeekRequest, kNoSeekRequest, 0}));

  sliderTakeReport(s, reportOf(kFile, 1000), 30, kH);  // narrower than the two arrows
  EXPECT_EQ(V({s.thumbLength, s.freeLength, sliderPositionAt(s, 5, 30, kH),
               sliderPositionAt(s, 8, 30, kH), sliderPositionAt(s, 9, 30, kH)}),
            V({0, 0, 0, 0, int64_t(kFile) - 1600000}));
}

// Arrows step a tenth of the file, never before the start nor past half a turn before the end;
// the track puts the thumb's centre under the pointer: (x - 23 - 22) x size / 431.
TEST(SliderGeometry, ArrowAndTrackClicksStayInsideTheFile) {
  // position, x; target, the position the thumb shows until the next report
  const int64_t cases[][4] = {{16000000, 21, 12800000, 12800000},
                              {16000000, 501, 19200000, 19200000},
                              {16000000, 500, 30400000, 16000000},
                              {28800000, 515, 30400000, 30400000},
                              {1000000, 5, 0, 0},
                              {0, 300, 18932714, 0},
                              {16000000, 30, 0, 16000000}};
  for (const auto& [position, x, target, reported] : cases) {
    SliderState s;
    sliderTakeReport(s, reportOf(kFile, uint64_t(position)), kRight, kH);
    EXPECT_EQ(V({sliderClick(s, int32_t(x), 10, kRight, kH), int64_t(s.report.position)}),
              V({target, reported}))
        << position << " at " << x;
  }
  // The arrows: equilateral triangles of side 0.6 h (11 pixels) inset 5, pointing out of the
  // track.
  const SliderArrows a = sliderArrows(kRight, kH);
  std::vector<float> got;
  for (const SliderPoint& p : {a.left[0], a.left[1], a.left[2], a.right[0], a.right[1], a.right[2]})
    got.insert(got.end(), {p.x, p.y * 5});
  EXPECT_EQ(got, std::vector<float>({5, 55, 16, 22, 16, 88, 517, 55, 506, 22, 506, 88}));
}

TEST(SliderGeometry, DragFollowsThePointerAndIgnoresReports) {
  // The thumb's rectangle holds its left and top edges, not its right and bottom ones.
  for (const auto& [x, y, drags] :
       {std::array{237, 4, 1}, {283, 17, 1}, {284, 10, 0}, {250, 18, 0}}) {
    SliderState t;
    sliderTakeReport(t, reportOf(kFile, 16000000), kRight, kH);
    EXPECT_EQ(sliderClick(t, x, y, kRight, kH) == kNoSeekRequest, drags != 0) << x << "," << y;
    EXPECT_EQ(t.dragging, drags) << x << "," << y;
  }
  SliderState s;
  sliderTakeReport(s, reportOf(kFile, 16000000), kRight, kH);
  // On the thumb a drag starts that reports do not move; a move off the thumb seeks nothing, and
  // one with the button released outside ends the drag. (Braced lists are evaluated in order.)
  EXPECT_EQ(V({sliderClick(s, 250, 10, kRight, kH), s.dragging,
               sliderTakeReport(s, reportOf(kFile, 0), kRight, kH), s.thumbRect.left,
               sliderMouseMove(s, 260, 10, true, kRight, kH), int64_t(s.report.position),
               s.thumbRect.left, sliderMouseMove(s, 100, 10, true, kRight, kH), s.hover,
               sliderMouseMove(s, 260, 10, false, kRight, kH), s.dragging}),
            V({kNoSeekRequest, 1, 0, 237, 15962877, 15962877, 22 + 214, kNoSeekRequest, 0,
               kNoSeekRequest, 0}));
  EXPECT_TRUE(sliderTakeReport(s, reportOf(kFile, 0), kRight, kH));
  PlaybackReport none = reportOf(kFile, kFile / 2);
  none.recordLength = 0;  // no record read yet: the thumb stays, a click on it seeks
  EXPECT_EQ(V({sliderTakeReport(s, none, kRight, kH), s.thumbRect.left,
               sliderClick(s, 30, 10, kRight, kH) != kNoSeekRequest, s.dragging}),
            V({1, 22, 1, 0}));
}

// The first N - 40 samples span the right half; values are 12 bits over the height.
TEST(EchoTrace, PolygonGridAndFrames) {
  EXPECT_EQ(V({echoTraceSamples(-1), echoTraceSamples(14), echoTraceSamples(20)}),
            V({240, 20000, 20000}));
  std::vector<uint16_t> line(240, 0);
  line[0] = 4095;
  line[200] = 2048;
  line[239] = 65535;  // out of range: full scale
  std::vector<TracePoint> poly;
  echoTracePolygon(line.data(), 240, 400, 100, poly);
  ASSERT_EQ(poly.size(), 242u);
  V got;
  for (const size_t i : {0, 1, 200, 239, 240, 241}) got.insert(got.end(), {poly[i].x, poly[i].y});
  EXPECT_EQ(got, V({200, -1, 201, 98, 400, 48, 439, -1, 439, 98, 200, 98}));
  echoTracePolygon(line.data(), 30, 400, 100, poly);  // fewer samples than the clipped tail
  ASSERT_EQ(poly.size(), 32u);
  EXPECT_EQ(poly[29].x, 200 + 200 * 29);
  echoTracePolygon(nullptr, 30, 400, 100, poly);
  EXPECT_TRUE(poly.empty());
  echoTracePolygon(line.data(), 0, 400, 100, poly);
  EXPECT_TRUE(poly.empty());

  const EchoTraceGrid g = echoTraceGrid(400, 100);
  EXPECT_EQ(std::vector<int32_t>(g.gridY, g.gridY + 3), std::vector<int32_t>({24, 49, 73}));
  got.clear();
  for (const TracePoint* frame : {g.leftFrame, g.rightFrame})
    for (int i = 0; i < 4; ++i) got.insert(got.end(), {frame[i].x, frame[i].y});
  EXPECT_EQ(got, V({0, 0, 200, 0, 200, 99, 0, 99, 200, 0, 399, 0, 399, 99, 200, 99}));
}

std::vector<std::string> lines(const GpsTextHistory& h) {
  std::vector<std::string> out;
  for (size_t i = 0; i < h.size(); ++i) out.push_back(h.line(i));
  return out;
}

TEST(GpsTextHistory, RepeatsAreKeptOnceAndTheOldestGoesAfterFour) {
  GpsTextHistory h;
  for (const char* t : {"GPS: N/A", "GPS: N/A", "$A", "$B", "$B", "$C"}) h.push(t);
  EXPECT_EQ(lines(h), (std::vector<std::string>{"GPS: N/A", "$A", "$B", "$C"}));
  h.push("$D");
  EXPECT_EQ(lines(h), (std::vector<std::string>{"$A", "$B", "$C", "$D"}));
  h.push("$B");  // differs from the newest: taken again
  EXPECT_EQ(lines(h), (std::vector<std::string>{"$B", "$C", "$D", "$B"}));

  // The receiver's sentence while one is read, otherwise the strip's line.
  const std::string strip = "GPS(3D): N 35 05.700, E 129 02.400, PDOP:  1.2 (GPS)";
  EXPECT_EQ(gpsTraceText(true, "$GPGGA,1", strip), "$GPGGA,1");
  EXPECT_EQ(gpsTraceText(true, "", strip), strip);           // a receiver that has sent nothing yet
  EXPECT_EQ(gpsTraceText(false, "$GPGGA,1", strip), strip);  // one no longer read
}

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
}

TEST(ScanInteraction, DragShiftsThenCommitsThePanOrEndsWhereTheCaptureWasLost) {
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

  // A lost capture ends the drag where the mouse was last seen. No shifted window with black
  // margins: the origin is the undragged one.
  onLeftButtonDown(s, 100, 100, false);
  onMouseMove(s, 130, 110, true, false);
  effects = {e(onCaptureLost(s))};
  o = visibleOrigin(s, 800, 600);
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
