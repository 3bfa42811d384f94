#pragma once
// The portable part of the scan view: image geometry, the per-pixel polar map and its per-degree
// lists, the value histogram and the colour table. The Windows scan view embeds one.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "scan/echo_tables.h"
#include "scan/line_store.h"
#include "scan/scan_workers.h"
#include "scan/view_settings.h"

namespace sk720 {

// Values the acquisition and playback threads publish for the display.
struct ScanInputs {
  std::atomic<int32_t> compassValid{0};
  std::atomic<int32_t> compassEnabled{0};
  std::atomic<int32_t> zeroAlwaysUp{1};
  std::atomic<int32_t> compassFieldsPresent{0};
  std::atomic<float> headingRadians{0.0f};
  std::atomic<int32_t> currentRangeMm{10000};
  // Newest record's identifiers and the pass through zero (consumed by automatic screenshots).
  std::atomic<uint32_t> lastDeviceId{0};
  std::atomic<uint32_t> lastCommandWord{0};
  std::atomic<int32_t> turnCompleted{0};
};

// One pixel's polar position and conversion state, as the overlays ask for it.
struct PixelPolar {
  float angleFraction;  // 0 <= f < 1, counter-clockwise from up, zero offset included
  float rangeMetres;    // -1 marks the centre pixel
  float value;          // last converted value, 0..4095
  uint32_t valid;       // 1 when value is up to date
};
static_assert(sizeof(PixelPolar) == 16);

// What the conversion needs of one pixel, stored in its degree's list so that a degree is
// converted from one contiguous run of memory. Only the position and the direction are kept: the
// sample along the beam, the line and its weight are recomputed from them exactly as the map
// computed them, which costs less than reading them, and a zoom then changes no entry.
struct DegreePixel {
  uint16_t x, y;        // image column and row
  float angleFraction;  // as in PixelPolar
};
static_assert(sizeof(DegreePixel) == 8);

// The part of the square image a client shows (the whole image while width is 0).
struct ImageWindow {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const ImageWindow&) const = default;
};

// The two parts of a degree's list, as bits of ScanImage::degreePending.
constexpr uint8_t kWindowPart = 1, kOutsidePart = 2, kBothParts = 3;

// The pixel map. Values are kept per pixel so that the colouring pass streams only them, and
// validity per degree (degreePending); the polar positions live in the per-degree lists. Each
// list holds every pixel of its degree: those of the client's window first, so that a paint can
// convert what is shown before what is not, then the rest. Each part is ordered by distance from
// the centre (raster order among equal distances), so that a conversion streams outwards along
// the degree's lines, and so that the pixels within the store's reach are a prefix of the part at
// any display range: a zoom, which moves no pixel's direction, only finds each prefix again and
// takes its samples anew. Pixels past the prefixes are never converted (their value stays 0).
struct PixelMap {
  std::vector<float> value;
  std::array<std::vector<DegreePixel>, kDegrees> degreePixels;
  // Per degree, the entries of its list inside the window (the list's first part).
  std::array<uint32_t, kDegrees> inWindow{};
  // Per degree, the pixels within the store's reach: a prefix of the window part (listed) and
  // one of the outside part (listedOutside, from inWindow on).
  std::array<uint32_t, kDegrees> listed{};
  std::array<uint32_t, kDegrees> listedOutside{};
  int32_t centreIndex = -1;  // -1 when the centre lies outside the image
  float maxRange = 0.0f;
  float pixelsPerMetre = 0.0f;  // of the listed samples
  // What the lists' order depends on; a map of the same layout is rescaled, not built again.
  struct Layout {
    int32_t size = -1, centreX = 0, centreY = 0, zeroOffset = 0;
    ImageWindow window;  // clipped to the image
    bool operator==(const Layout&) const = default;
  } layout;
  float maxDistance = 0.0f;  // in pixels, of the farthest pixel
};

struct ScanImage {
  int32_t imageSize = 0;
  int32_t displayRangeIndex = 6;
  int32_t panX = 0, panY = 0;
  float fitFactor = 1.0f;
  float pixelsPerMetre = 0.0f;
  float imageMaxRange = 0.0f;
  int32_t lineSamples = 0, lineCount = 0;
  int32_t fullRedrawPending = 0;
  int32_t clientWidth = 0, clientHeight = 0;
  PixelMap map;
  // Per degree, the parts (kWindowPart, kOutsidePart) whose listed pixels may still be invalid
  // (taken flags and fresh maps).
  uint8_t degreePending[kDegrees] = {};
  // A new map (zoom, pan, size) not yet converted: the one pass that may leave the pixels outside
  // the window to the next. Lines stored meanwhile never defer, so once they stop, one paint
  // brings every pixel up to date.
  bool newMapPending = false;
  std::array<uint32_t, 4096> valueHistogram{};
  ColourTable colourTable{};
  std::mutex lock;  // taken before LineStore::lineLock when both are held

  // Memories of the paint: previous contrast parameter and brightness, automatic period start.
  int32_t previousContrast = -1;
  float previousBrightness = -1.0f;
  bool periodStarted = false;
  uint32_t autoPeriodStartMs = 0;

  // What lets a paint skip work whose result cannot change. Every listed value was converted
  // with the same rotation when valuesUniform is set: a full refresh without rotation then only
  // recounts the histogram, since every value is already what a reconversion gives (a stored line
  // flags every degree whose pixels read it). Degrees converted since the last colouring are the
  // only ones whose pixels need colouring again while the level, the colours and the pixel buffer
  // stay the same.
  bool valuesUniform = false;
  bool valuesRotated = false;      // north up, turned by
  float valuesRotationAdd = 0.0f;  // this (2 pi - heading)
  // Each pixel's present value counted once, over the degrees whose values are counted in.
  std::array<uint32_t, 4096> currentHistogram{};
  uint8_t degreeCounted[kDegrees] = {};
  bool countsKept = true;                  // false once a pass left the current histogram behind
  uint8_t degreeConverted[kDegrees] = {};  // the parts converted since the last colouring
  bool colourAll = true;                   // a new map: every pixel must be coloured
  const uint32_t* colouredPixels = nullptr;
  int32_t colouredLevel = -1;
  int32_t colourKey[3] = {-1, -1, -1};  // palette, curve, brightness of colourTable
  bool coloursChanged = true;
  std::array<uint32_t, 4096> packedColours{};  // colourTable as 0x00RRGGBB

  // Threads for the long passes (0: one per core), started at the first long pass, with their
  // partial histograms.
  int32_t workerCount = 0;
  std::unique_ptr<ScanWorkers> workers;
  std::vector<uint32_t> workerHistograms;
};

PixelMap buildPixelMap(int32_t panX, int32_t panY, int32_t size, float pixelsPerMetre,
                       int32_t zeroOffsetDegrees);
// The same into an existing map, reusing its storage, with the long passes shared among workers,
// the pixels of `window` first in each list.
void buildPixelMap(PixelMap& map, int32_t panX, int32_t panY, int32_t size, float pixelsPerMetre,
                   int32_t zeroOffsetDegrees, ScanWorkers* workers = nullptr,
                   const ImageWindow& window = {});
// A degree's listed pixels in both parts.
inline size_t listedPixels(const PixelMap& m, int32_t degree) {
  return size_t(m.listed[size_t(degree)]) + m.listedOutside[size_t(degree)];
}

// Polar position of image pixel (x, y) for a geometry, computed exactly as the map is built.
PixelPolar pixelPolarOf(int32_t x, int32_t y, int32_t panX, int32_t panY, int32_t size,
                        float pixelsPerMetre, int32_t zeroOffsetDegrees);
// The record of image pixel (x, y) of the current map (the overlays' cursor position).
PixelPolar pixelPolarAt(const ScanImage& image, int32_t zeroOffsetDegrees, int32_t x, int32_t y);

void rebuildScanGeometry(ScanImage& image, LineStore& store, const ViewSettings& view,
                         const ScanInputs& inputs, int32_t clientWidth, int32_t clientHeight);

// Rounding as trunc(x + 0.5) in single precision, as the histogram bins and colour entries are
// defined (lround differs for the float just below 0.5).
inline int32_t roundHalfUp(float x) {
  return int32_t(x + 0.5f);  // NOLINT(bugprone-incorrect-roundings)
}

// Paint steps, called with image.lock held.
void markDirtyPixels(ScanImage& image, LineStore& store);
// Without `counting` the histograms are left alone (a manual contrast reads neither) and the
// current one is out of date until countPresentValues. With `windowFirst` as well, a pass over
// many pixels converts the window's and leaves the rest pending for the next call.
void convertInvalidPixels(ScanImage& image, const LineStore& store, const ScanInputs& inputs,
                          bool counting = true, bool windowFirst = false);
// Brings the current histogram up to date after passes that did not count: every listed pixel's
// present value counted once, every degree counted in.
void countPresentValues(ScanImage& image);

// The image's thread pool, started on first use; the partial histograms are sized with it.
ScanWorkers& scanWorkers(ScanImage& image);
// Bins of a histogram, and the partial histograms a worker counts into in turn.
constexpr int32_t kHistogramBins = 4096;
constexpr int32_t kHistogramParts = 4;

// Visible window of the square image for a client: image point = client point + offset.
inline int32_t clientOffsetX(int32_t w, int32_t h) { return h > w ? (h - w) / 2 : 0; }
inline int32_t clientOffsetY(int32_t w, int32_t h) { return w > h ? (w - h) / 2 : 0; }

}  // namespace sk720
