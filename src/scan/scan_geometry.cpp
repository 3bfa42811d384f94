#include <algorithm>
#include <cmath>

#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"

namespace sk720 {

PixelMap buildPixelMap(int32_t panX, int32_t panY, int32_t size, float pixelsPerMetre,
                       int32_t zeroOffsetDegrees) {
  PixelMap m;
  const size_t n = size_t(size) * size_t(size);
  m.angleFraction.resize(n);
  m.rangeMetres.resize(n);
  m.value.assign(n, 0.0f);
  m.valid.assign(n, 0);
  std::vector<int16_t> degreeOf(n, -1);
  int32_t counts[kDegrees] = {};

  // A damaged stored offset may be huge; whole turns change nothing.
  if (zeroOffsetDegrees > 3600 || zeroOffsetDegrees < -3600) zeroOffsetDegrees %= 360;
  const float offset = 3.14159265358979323846f * float(zeroOffsetDegrees) / 180.0f;
  const int32_t cx = size / 2 - panX, cy = size / 2 - panY;
  float maxRange = 0.0f;

  for (int32_t y = 0; y < size; ++y) {
    const float dy = float(y - cy);
    for (int32_t x = 0; x < size; ++x) {
      const size_t i = size_t(y) * size_t(size) + size_t(x);
      const float dx = float(x - cx);
      if (x == cx && y == cy) {
        m.angleFraction[i] = 0.0f;
        m.rangeMetres[i] = -1.0f;
        m.centreIndex = int32_t(i);
        continue;
      }
      const float d = std::sqrt(dx * dx + dy * dy);
      float theta = std::atan2(-dx, -dy);
      if (theta < 0.0f) theta += kTwoPi;
      theta += offset;
      while (theta >= kTwoPi) theta -= kTwoPi;
      while (theta < 0.0f) theta += kTwoPi;
      const float fraction = theta / kTwoPi;
      const float range = d / pixelsPerMetre;
      m.angleFraction[i] = fraction;
      m.rangeMetres[i] = range;
      maxRange = std::max(maxRange, range);
      if (samplePosition(range) < 20400.0f) {
        const int32_t degree = std::min(int32_t(fraction * 360.0f), 359);
        degreeOf[i] = int16_t(degree);
        ++counts[degree];
      }
    }
  }

  m.degreeStart[0] = 0;
  for (int32_t d = 0; d < kDegrees; ++d) m.degreeStart[d + 1] = m.degreeStart[d] + counts[d] + 1;
  m.degreePixels.resize(size_t(m.degreeStart[kDegrees]));
  int32_t fill[kDegrees];
  for (int32_t d = 0; d < kDegrees; ++d) fill[d] = m.degreeStart[d];
  for (size_t i = 0; i < n; ++i) {
    if (degreeOf[i] >= 0) m.degreePixels[size_t(fill[degreeOf[i]]++)] = int32_t(i);
  }
  for (int32_t d = 0; d < kDegrees; ++d) m.degreePixels[size_t(fill[d])] = -1;
  m.maxRange = maxRange;
  return m;
}

void rebuildScanGeometry(ScanImage& image, LineStore& store, const ViewSettings& view,
                         const ScanInputs& inputs, int32_t w, int32_t h) {
  const bool sized = w > 0 && h > 0;
  const int32_t size = sized ? std::max(w, h) : 10;
  const int32_t rangeIndex = std::clamp(image.displayRangeIndex, 0, 14);
  float fit = 1.0f;
  if (view.fitToWindow == 1 && sized && rangeIndex == rangeIndexOf(inputs.currentRangeMm.load())) {
    fit = float(double(float(std::min(w, h))) / double(float(std::max(w, h))));
  }
  const float rangeMetres = float(kDisplayRangesMm[rangeIndex]) / 1000.0f;
  const float ppm = float(size) * fit / (2.0f * rangeMetres);

  std::lock_guard<std::mutex> g(image.lock);
  image.map = PixelMap();  // release the old map before the new one is built
  image.displayRangeIndex = rangeIndex;
  image.imageSize = size;
  image.fitFactor = fit;
  image.pixelsPerMetre = ppm;
  image.clientWidth = w;
  image.clientHeight = h;
  {
    std::lock_guard<std::mutex> lg(store.lineLock);
    for (uint32_t& f : store.dirtyDegrees) f = 1;
    image.valueHistogram.fill(0);
  }
  image.map = buildPixelMap(image.panX, image.panY, size, ppm, view.zeroOffset);
  image.imageMaxRange = image.map.maxRange;
  std::fill(std::begin(image.degreePending), std::end(image.degreePending), uint8_t(1));
  image.lineSamples = kLineSamples;
  image.lineCount = kLinesPerTurn;
  image.fullRedrawPending = 1;
}

}  // namespace sk720
