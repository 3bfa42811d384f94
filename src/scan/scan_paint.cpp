#include "scan/scan_paint.h"

#include <algorithm>

namespace sk720 {

namespace {
int32_t contrastParameter(const ViewSettings& view) {
  return view.autoContrast == 1 ? 0 : clampedContrast(view);
}
}  // namespace

bool contrastStep(ScanImage& image, LineStore& store, const ViewSettings& view, uint32_t nowMs) {
  const int32_t c = contrastParameter(view);
  const float b = float(view.brightness);
  if (!image.periodStarted) {
    image.periodStarted = true;
    image.autoPeriodStartMs = nowMs;
  }
  if (c == 0 && nowMs - image.autoPeriodStartMs > 5000) {
    image.autoPeriodStartMs = nowMs;
    image.fullRedrawPending = 1;
  }
  bool refresh = false;
  if (c != image.previousContrast || b != image.previousBrightness || image.fullRedrawPending == 1) {
    // Reconvert everything so that the histogram counts each pixel of the image exactly once.
    for (uint32_t& f : store.dirtyDegrees) f = 1;
    image.valueHistogram.fill(0);
    image.fullRedrawPending = 0;
    refresh = true;
  }
  image.previousContrast = c;
  image.previousBrightness = b;
  return refresh;
}

int32_t contrastLevel(const ScanImage& image, int32_t c) {
  if (c >= 1 && c <= 10) return kContrastLevels[c];
  const double n = double(image.imageSize) * double(image.imageSize);
  const double limit = n * double(1e-5f);
  const auto& hist = image.valueHistogram;
  for (int32_t i = 9; i < 4096; ++i) {
    if (hist[size_t(i)] < hist[size_t(i - 1)] && double(hist[size_t(i)]) < limit) return i;
  }
  return 4095;
}

void colourPixels(const ScanImage& image, int32_t level, uint32_t* pixels) {
  uint32_t packed[4096];
  for (size_t i = 0; i < 4096; ++i) {
    const auto& c = image.colourTable[i];
    packed[i] = uint32_t(int32_t(c[2] + 0.5f)) | (uint32_t(int32_t(c[1] + 0.5f)) << 8) |
                (uint32_t(int32_t(c[0] + 0.5f)) << 16);
  }
  const float* values = image.map.value.data();
  const size_t n = image.map.value.size();
  const float fLevel = float(level);
  const int32_t centre = image.map.centreIndex;
  const uint32_t centreKeep = centre >= 0 ? pixels[centre] : 0;
  for (size_t i = 0; i < n; ++i) {
    const float v = values[i];
    int32_t entry = 4095;
    if (v < 4096.0f) {
      const float index = std::clamp(v * 4095.0f / fLevel, 0.0f, 4095.0f);
      entry = int32_t(index + 0.5f);
    }
    pixels[i] = packed[entry];
  }
  if (centre >= 0) pixels[centre] = centreKeep;  // the centre pixel is never coloured
}

int32_t paintScanImage(ScanImage& image, LineStore& store, const ViewSettings& view,
                       const ScanInputs& inputs, uint32_t nowMs, uint32_t* pixels) {
  buildColourTable(view.palette, view.linear, view.brightness, image.colourTable);
  std::lock_guard<std::mutex> g(image.lock);
  {
    std::lock_guard<std::mutex> lg(store.lineLock);
    contrastStep(image, store, view, nowMs);
  }
  markDirtyPixels(image, store);
  convertInvalidPixels(image, store, inputs);
  const int32_t level = contrastLevel(image, contrastParameter(view));
  colourPixels(image, level, pixels);
  return level;
}

}  // namespace sk720
