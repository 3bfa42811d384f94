#include "scan/scan_paint.h"

#include <algorithm>

#include "scan/north_up.h"

namespace sk720 {

namespace {
int32_t contrastParameter(const ViewSettings& view) {
  return view.autoContrast == 1 ? 0 : clampedContrast(view);
}

// The table depends on these three settings alone: it is built again only when one changes.
void updateColourTable(ScanImage& image, const ViewSettings& view) {
  const int32_t key[3] = {view.palette, view.linear, view.brightness};
  if (std::equal(key, key + 3, image.colourKey)) return;
  buildColourTable(view.palette, view.linear, view.brightness, image.colourTable);
  std::copy(key, key + 3, image.colourKey);
  image.coloursChanged = true;
}

void markEveryDegreePending(ScanImage& image) {
  std::fill(std::begin(image.degreePending), std::end(image.degreePending), kBothParts);
}
}  // namespace

bool contrastStep(ScanImage& image, const ViewSettings& view, uint32_t nowMs) {
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
  if (c != image.previousContrast || b != image.previousBrightness ||
      image.fullRedrawPending == 1) {
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

int32_t paintScanImage(ScanImage& image, LineStore& store, const ViewSettings& view,
                       const ScanInputs& inputs, uint32_t nowMs, uint32_t* pixels, bool freshPixels,
                       bool windowFirst) {
  updateColourTable(image, view);
  std::lock_guard<std::mutex> g(image.lock);
  // A full refresh counts every pixel once in the histogram. Without rotation every value is
  // already what a reconversion would give once the lines changed since the last paint are
  // converted (a stored line flags every degree whose pixels read it): the current counts are
  // then the histogram, without reading the whole store again.
  // Only the automatic contrast reads the histograms: a manual one converts without counting,
  // and the counts are made whole again when the automatic contrast comes back.
  const bool counting = contrastParameter(view) == 0;
  if (counting) countPresentValues(image);
  bool recount = false;
  if (contrastStep(image, view, nowMs)) {
    recount = valuesConvertedWith(image, Rotation{}) && !northUpRotation(inputs).active;
    if (!recount) markEveryDegreePending(image);
  }
  markDirtyPixels(image, store);
  convertInvalidPixels(image, store, inputs, counting, windowFirst);
  if (recount) {
    if (valuesConvertedWith(image, Rotation{})) {
      if (counting) image.valueHistogram = image.currentHistogram;
    } else {  // north up came on between the two looks at it
      image.valueHistogram.fill(0);
      markEveryDegreePending(image);
      convertInvalidPixels(image, store, inputs, counting);
    }
  }
  const int32_t level = contrastLevel(image, contrastParameter(view));

  if (image.coloursChanged) packColourTable(image.colourTable, image.packedColours.data());
  // Many converted pixels are coloured faster in one stream over the image than through their
  // lists.
  size_t converted = 0;
  for (int32_t d = 0; d < kDegrees; ++d) {
    const uint8_t parts = image.degreeConverted[d];
    if (parts & kWindowPart) converted += image.map.listed[size_t(d)];
    if (parts & kOutsidePart) converted += image.map.listedOutside[size_t(d)];
  }
  // Pixels left outside the window by this paint are coloured with the rest by the next one.
  const ImageWindow& window = image.map.layout.window;
  const bool deferred = std::any_of(std::begin(image.degreePending), std::end(image.degreePending),
                                    [](uint8_t parts) { return (parts & kOutsidePart) != 0; });
  const bool rows = deferred && window.width == image.map.layout.size;
  if (rows) {
    colourEveryPixel(image, level, pixels, window.y, window.y + window.height);
  } else if (freshPixels || image.colourAll || image.coloursChanged ||
             pixels != image.colouredPixels || level != image.colouredLevel ||
             converted > image.map.value.size() / 8) {
    colourEveryPixel(image, level, pixels);
  } else {
    colourConvertedPixels(image, level, pixels);
  }
  image.colourAll = rows;
  image.coloursChanged = false;
  image.colouredPixels = pixels;
  image.colouredLevel = level;
  std::fill(std::begin(image.degreeConverted), std::end(image.degreeConverted), uint8_t(0));
  return level;
}

}  // namespace sk720
