#include "scan/scan_reference.h"

#include <cmath>

#include "scan/scan_paint.h"

namespace sk720 {

ReferenceScan buildReferenceScan(int32_t panX, int32_t panY, int32_t size, float pixelsPerMetre,
                                 int32_t zeroOffsetDegrees) {
  ReferenceScan s;
  s.size = size;
  s.pixelMap.resize(size_t(size) * size_t(size));
  for (int32_t y = 0; y < size; ++y) {
    for (int32_t x = 0; x < size; ++x) {
      s.pixelMap[size_t(y) * size_t(size) + size_t(x)] =
          pixelPolarOf(x, y, panX, panY, size, pixelsPerMetre, zeroOffsetDegrees);
    }
  }
  return s;
}

void convertReferenceRaster(ReferenceScan& scan, const LineStore& store, const ScanInputs& in) {
  const float twoPi = 6.28318530717958647692f;
  for (PixelPolar& p : scan.pixelMap) {
    if (p.rangeMetres == -1.0f || p.valid == 1) continue;
    float a = p.angleFraction * twoPi;
    if (in.compassValid.load() != 0 && in.compassEnabled.load() != 0 &&
        in.zeroAlwaysUp.load() == 0) {
      a = a + (twoPi - in.headingRadians.load());
      while (a >= twoPi) a -= twoPi;
      while (a < 0.0f) a += twoPi;
    }
    const float sp = 20400.0f / 150.0f * p.rangeMetres * 0.98f;
    if (sp >= 20400.0f) continue;
    const float lp = a / twoPi * 3200.0f;
    const int32_t f = int32_t(lp) % 3200;
    const float t = lp - std::trunc(lp);
    const int32_t k = int32_t(sp);
    const float near = float(store.load(f, k));
    float result = near;
    if (t != 0.0f) {
      const int32_t g = f + 1 == 3200 ? 0 : f + 1;
      result = near + (float(store.load(g, k)) - near) * t;
    }
    p.value = result >= 4096.0f ? 4095.0f : result;
    p.valid = 1;
    ++scan.valueHistogram[size_t(int32_t(p.value + 0.5f))];
  }
}

int32_t paintReference(ScanImage& image, LineStore& store, const ViewSettings& view,
                       const ScanInputs& inputs, uint32_t nowMs, uint32_t* pixels) {
  buildColourTable(view.palette, view.linear, view.brightness, image.colourTable);
  std::lock_guard<std::mutex> g(image.lock);
  {
    std::lock_guard<std::mutex> lg(store.lineLock);
    if (contrastStep(image, view, nowMs)) {
      for (uint32_t& f : store.dirtyDegrees) f = 1;
    }
  }
  markDirtyPixels(image, store);
  convertInvalidPixels(image, store, inputs);
  const int32_t level = contrastLevel(image, view.autoContrast == 1 ? 0 : clampedContrast(view));
  colourPixels(image, level, pixels);
  return level;
}

}  // namespace sk720
