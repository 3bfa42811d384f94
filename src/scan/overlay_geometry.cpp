#include "scan/overlay_geometry.h"

#include <cmath>
#include <cstdio>

#include "scan/line_store.h"

namespace sk720 {

namespace {

const double kPi = double(std::acos(-1.0f));
// The rings stop at the head's range long before this; it bounds the loop for
// any input.
constexpr int32_t kMaxRings = 1000;

PointF at(double x, double y) { return PointF{float(x), float(y)}; }

}  // namespace

OverlayCentre overlayCentre(int32_t imageSize, int32_t panX, int32_t panY, int32_t dragStartPanX,
                            int32_t dragStartPanY, bool dragging) {
  const int32_t px = dragging ? dragStartPanX : panX;
  const int32_t py = dragging ? dragStartPanY : panY;
  return {imageSize / 2 - px, imageSize / 2 - py};
}

PointF polarPoint(const OverlayCentre& c, double step, double radius) {
  const double theta = (step - 1600.0) * 2.0 * kPi / 3200.0;
  return at(c.cx + radius * std::sin(theta), c.cy + radius * std::cos(theta));
}

int32_t reducedZeroOffset(int32_t zeroOffsetDegrees) {
  return int32_t(int64_t(zeroOffsetDegrees) % 360);
}

void ringLabel(int32_t displayRangeIndex, float metres, std::string& out) {
  // 1.5, 2.5, 3, 6 and 7.5 m: the ring spacing has a tenth.
  const bool tenths = displayRangeIndex == 0 || displayRangeIndex == 1 || displayRangeIndex == 2 ||
                      displayRangeIndex == 4 || displayRangeIndex == 5;
  char buf[32];
  std::snprintf(buf, sizeof buf, tenths ? "%4.1fm" : "%4.0fm", double(metres));
  out.assign(buf);
}

int32_t addRangeRings(OverlayList& out, const OverlayCentre& c, const RingInput& in, bool draw) {
  const int32_t index = in.displayRangeIndex < 0    ? 0
                        : in.displayRangeIndex > 14 ? 14
                                                    : in.displayRangeIndex;
  const float range = float(kDisplayRangesMm[index]) / 1000.0f;
  const float headRange = float(in.currentRangeMm) / 1000.0f;
  int32_t outerRadius = 0;
  for (int32_t k = 1; k <= kMaxRings; ++k) {
    const float distance = float(k) * range / 5.0f;
    // Written so that a NaN stops the rings as well.
    if (!(distance <= in.imageMaxRange) || !(distance <= headRange)) break;
    const double r = k * double(in.fitFactor) * in.imageSize / 10.0;
    if (!(r >= 0.0 && r < 1e9)) break;
    outerRadius = int32_t(r);
    if (!draw) continue;
    out.ellipse(float(c.cx - r), float(c.cy - r), float(2 * r - 1), float(2 * r - 1), kRingArgb,
                kOverlayPenWidth);
    OverlayPrimitive& label =
        out.text(float(c.cx + r - 34), float(c.cy - 15), 12.0f, false, kRingLabelArgb);
    ringLabel(index, distance, label.text);
  }
  return outerRadius;
}

void addGridSpokes(OverlayList& out, const OverlayCentre& c, int32_t outerRadius) {
  for (int32_t a = 0; a < 1600; a += 400) {
    out.line(polarPoint(c, a, outerRadius), polarPoint(c, a + 1600, outerRadius), kRingArgb,
             kOverlayPenWidth);
  }
}

void addPointer(OverlayList& out, const OverlayCentre& c, int32_t outerRadius,
                int32_t currentLineIndex, int32_t zeroOffsetDegrees) {
  const double theta = (currentLineIndex - 1600) * 2.0 * kPi / 3200.0 -
                       reducedZeroOffset(zeroOffsetDegrees) * kPi / 180.0;
  out.line(at(c.cx, c.cy),
           at(c.cx + outerRadius * std::sin(theta), c.cy + outerRadius * std::cos(theta)),
           kPointerArgb, kOverlayPenWidth);
}

int32_t headingSteps(float headingRadians) {
  const double v = double(headingRadians) * 1600.0 / kPi;
  return std::fabs(v) < 2e9 ? int32_t(v) : 0;
}

int32_t headingDegrees(float headingRadians) {
  const double v = double(headingRadians) * 180.0 / kPi;
  return std::fabs(v) < 2e9 ? int32_t(v) : 0;
}

int32_t compassBaseStep(int32_t heading, int32_t zeroOffsetDegrees) {
  // 64-bit and a remainder: any stored offset, however large, costs the same
  // and cannot overflow; 360 degrees are exactly 3200 steps, so whole turns
  // drop out unchanged.
  const int64_t a = (int64_t(heading) + (-80 * int64_t(zeroOffsetDegrees)) / 9) % 3200;
  return int32_t(a < 0 ? a + 3200 : a);
}

double compassMarkSize(int32_t outerRadius) {
  const OverlayCentre c{0, 0};
  const PointF p = polarPoint(c, 10, outerRadius), q = polarPoint(c, -10, outerRadius);
  return std::hypot(double(p.x) - q.x, double(p.y) - q.y) * std::sqrt(3.0) / 2.0;
}

void addCompassMarks(OverlayList& out, const OverlayCentre& c, int32_t outerRadius, int32_t heading,
                     int32_t zeroOffsetDegrees) {
  const int32_t a0 = compassBaseStep(heading, zeroOffsetDegrees);
  const double s = compassMarkSize(outerRadius);
  const int32_t fontWhole = int32_t(s);
  static const char* const kCardinal[] = {"N", "W", "S", "E"};
  static const char* const kIntercardinal[] = {"315", "225", "135", "45"};
  for (int32_t pass = 0; pass < 2; ++pass) {
    for (int32_t k = 0; k < 4; ++k) {
      const double a = a0 + (pass ? 400 : 0) + 800 * k;
      out.line(polarPoint(c, a, outerRadius), polarPoint(c, a, outerRadius - s), kCompassMarkArgb,
               pass ? 2.0f : 4.0f);
      if (fontWhole == 0) continue;  // no room for a label at this radius
      const PointF q = polarPoint(c, a, outerRadius - 2 * s);
      const double w = (pass ? 6 : 2) * s / std::sqrt(2.0), h = 2 * s / std::sqrt(2.0);
      OverlayPrimitive& t = out.text(float(q.x - w / 2), float(q.y - h / 2), float(fontWhole / 0.9),
                                     true, kCompassLabelArgb);
      t.w = float(w);
      t.h = float(h);
      t.centred = true;
      t.text.assign(pass ? kIntercardinal[k] : kCardinal[k]);
    }
  }
}

int32_t dialHeading(int32_t heading, int32_t zeroOffsetDegrees) {
  const int64_t h = (int64_t(heading) - int64_t(zeroOffsetDegrees)) % 360;
  return int32_t(h < 0 ? h + 360 : h);
}

void addHeadingDial(OverlayList& out, int32_t width, int32_t height, int32_t heading,
                    int32_t zeroOffsetDegrees) {
  const int32_t h = dialHeading(heading, zeroOffsetDegrees);
  const double r = width / 2;
  const double hr = h * kPi / 180.0;
  auto card = [&](double t, double rho, double dx, double dy) {
    const double phi = t * 2.0 * kPi / 360.0 + (2.0 * kPi - hr) - kPi / 2.0;
    return at(r + dx + rho * std::cos(phi), r + dy + rho * std::sin(phi));
  };
  auto needle = [&](double beta, double rho) {
    return at(r + rho * std::sin(beta), r + rho * std::cos(beta));
  };

  out.ellipse(0, 0, float(width - 1), float(height - 1), kDialGreyArgb, 2.0f);

  const PointF base1 = needle(hr + kPi / 2, r - 33), base2 = needle(hr - kPi / 2, r - 33);
  const PointF grey[3] = {needle(hr, r - 18), base1, base2};
  const PointF red[3] = {needle(hr + kPi, r - 18), base1, base2};
  out.polygon(grey, 3, kDialGreyArgb);
  out.polygon(red, 3, kDialRedArgb);

  const int32_t tickStep = height > 100 ? 5 : 10;
  for (int32_t t = 0; t < 360; t += tickStep) {
    out.line(card(t, r - 5, 0, 0), card(t, r, 0, 0), kDialGreyArgb, 2.0f);
  }
  for (int32_t t = 0; t < 360; t += 90) {
    out.line(card(t, r - 5, 0, 0), card(t, r, 0, 0), 0xFFFFFFFF, 2.0f);
  }
  char buf[16];
  for (int32_t t = 45; t < 360; t += 90) {
    const PointF p = card(t, r - 12, -10, -7);
    std::snprintf(buf, sizeof buf, "%3d", t);
    out.text(p.x, p.y, 10.0f, true, 0xFFFFFFFF).text.assign(buf);
  }
  static const char* const kLetters[] = {"N", "E", "S", "W"};
  for (int32_t k = 0; k < 4; ++k) {
    const PointF p = card(90 * k, r - 12, -5, -7);
    out.text(p.x, p.y, 10.0f, true, 0xFFFFFFFF).text.assign(kLetters[k]);
  }
  std::snprintf(buf, sizeof buf, "%03d\u00B0", h);
  out.text(float(r - 13), float(r - 9), 12.0f, true, kDialCentreTextArgb).text.assign(buf);
}

void addRuler(OverlayList& out, float x1, float y1, float x2, float y2, int32_t squareSize,
              float pixelsPerMetre, std::string& distanceText) {
  const float half = float(squareSize / 2);
  for (const PointF e : {PointF{x1, y1}, PointF{x2, y2}}) {
    const PointF square[4] = {{e.x - half, e.y - half},
                              {e.x + half, e.y - half},
                              {e.x + half, e.y + half},
                              {e.x - half, e.y + half}};
    out.polygon(square, 4, kRulerArgb);
  }
  out.line({x1, y1}, {x2, y2}, kRulerArgb, 2.5f);
  const float dx = x1 - x2, dy = y1 - y2;
  const float d = pixelsPerMetre > 0.0f ? std::sqrt(dx * dx + dy * dy) / pixelsPerMetre : 0.0f;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2fm", double(d));
  distanceText.assign(buf);
  out.text((x1 + x2) / 2 + 4, (y1 + y2) / 2 - 18, 14.0f, true, 0xFFFFFFFF).text = distanceText;
}

}  // namespace sk720
