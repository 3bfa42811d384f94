#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "scan/degree_entries.h"
#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"

namespace sk720 {

namespace {

// A damaged stored offset may be huge; whole turns change nothing.
float offsetRadians(int32_t zeroOffsetDegrees) {
  if (zeroOffsetDegrees > 3600 || zeroOffsetDegrees < -3600) zeroOffsetDegrees %= 360;
  return 3.14159265358979323846f * float(zeroOffsetDegrees) / 180.0f;
}

// The direction of (x, y) from up, counter-clockwise, in single precision. The single-precision
// arctangents of the C libraries differ in the last place for about one pixel in six, which moves
// pixels across line boundaries; the double-precision ones agree to within an ulp of a double, so
// rounding their result gives the same float on every platform.
inline float directionOf(float x, float y) { return float(std::atan2(double(x), double(y))); }

// Direction and distance of a pixel from the centre; the one formula every user shares.
inline void polarOf(float dx, float dy, float offset, float pixelsPerMetre, float& fraction,
                    float& range) {
  const float d = std::sqrt(dx * dx + dy * dy);
  float theta = directionOf(-dx, -dy);
  if (theta < 0.0f) theta += kTwoPi;
  theta += offset;
  while (theta >= kTwoPi) theta -= kTwoPi;
  while (theta < 0.0f) theta += kTwoPi;
  fraction = theta / kTwoPi;
  range = d / pixelsPerMetre;
}

// An entry's squared distance from the centre, exact in integers: the lists are ordered by it,
// which orders them by the float distance every conversion computes from it too.
inline uint64_t squaredDistance(const DegreePixel& p, int32_t cx, int32_t cy) {
  const int64_t dx = int64_t(p.x) - cx, dy = int64_t(p.y) - cy;
  return uint64_t(dx * dx + dy * dy);
}

// Orders pixels (a part of a degree's list) by distance, raster order among equal ones: a
// counting sort into rings of equal area, about one entry a ring, keeps the raster order, then
// the exact distance orders each ring.
void sortByDistance(DegreePixel* first, DegreePixel* last, int32_t cx, int32_t cy,
                    std::vector<int32_t>& start, std::vector<DegreePixel>& scratch) {
  const size_t count = size_t(last - first);
  if (count < 2) return;
  uint64_t farthest = 0;
  for (const DegreePixel* p = first; p != last; ++p)
    farthest = std::max(farthest, squaredDistance(*p, cx, cy));
  int32_t shift = 0;
  while ((farthest >> shift) > count) ++shift;
  const size_t buckets = size_t(farthest >> shift) + 1;
  auto bucket = [&](const DegreePixel& p) { return size_t(squaredDistance(p, cx, cy) >> shift); };
  start.assign(buckets + 1, 0);
  for (const DegreePixel* p = first; p != last; ++p) ++start[bucket(*p) + 1];
  for (size_t k = 0; k < buckets; ++k) start[k + 1] += start[k];
  scratch.resize(count);
  for (const DegreePixel* p = first; p != last; ++p) scratch[size_t(start[bucket(*p)]++)] = *p;
  for (size_t i = 1; i < scratch.size(); ++i) {
    const DegreePixel p = scratch[i];
    const uint64_t d = squaredDistance(p, cx, cy);
    size_t j = i;
    for (; j > 0 && squaredDistance(scratch[j - 1], cx, cy) > d; --j) scratch[j] = scratch[j - 1];
    scratch[j] = p;
  }
  std::copy(scratch.begin(), scratch.end(), first);
}

// The pixels within the store's reach at a display range: a prefix of each part of each list,
// since the sample position grows with the distance. Pixels that leave the reach show nothing.
void listReachedPixels(PixelMap& m, float pixelsPerMetre) {
  m.pixelsPerMetre = pixelsPerMetre;
  const EntryScale scale(m);
  auto reach = [&](const DegreePixel* first, const DegreePixel* last, uint32_t& listed) {
    const auto reached =
        uint32_t(std::partition_point(first, last,
                                      [&](const DegreePixel& p) {
                                        return entrySamplePosition(p, scale) < 20400.0f;
                                      }) -
                 first);
    for (uint32_t n = reached; n < listed; ++n) m.value[size_t(entryPixel(first[n], scale))] = 0;
    listed = reached;
  };
  for (size_t d = 0; d < size_t(kDegrees); ++d) {
    const DegreePixel* list = m.degreePixels[d].data();
    const DegreePixel* split = list + m.inWindow[d];
    reach(list, split, m.listed[d]);
    reach(split, list + m.degreePixels[d].size(), m.listedOutside[d]);
  }
  m.maxRange = m.maxDistance / pixelsPerMetre;
}

// About how many pixels a degree's list will hold: the wedge's area out to the image edge, with
// some slack. Lists then rarely grow while they fill.
size_t expectedDegreePixels(int32_t degree, int32_t panX, int32_t panY, int32_t size,
                            float offset) {
  const int32_t half = size / 2;
  const double cx = half - panX, cy = half - panY;
  const double reach = 4.0 * double(size);
  double longest = 0.0;
  for (double edge : {0.0, 0.5, 1.0}) {
    const double theta = (degree + edge) * (2.0 * 3.14159265358979323846 / kDegrees) - offset;
    const double dx = -std::sin(theta), dy = -std::cos(theta);
    double r = reach;
    if (dx > 1e-9) r = std::min(r, (size - cx) / dx);
    if (dx < -1e-9) r = std::min(r, -cx / dx);
    if (dy > 1e-9) r = std::min(r, (size - cy) / dy);
    if (dy < -1e-9) r = std::min(r, -cy / dy);
    longest = std::max(longest, r);
  }
  const double area = 0.5 * longest * longest * (2.0 * 3.14159265358979323846 / kDegrees);
  return size_t(std::max(0.0, area * 1.05)) + 64;
}

// Runs work(item, worker) for items 0..count-1, shared among the workers when there are several.
template <class Work>
void shareOut(ScanWorkers* workers, int32_t count, Work& work) {
  if (workers == nullptr || workers->count() < 2) {
    for (int32_t i = 0; i < count; ++i) work(i, 0);
    return;
  }
  struct Share {
    Work* work;
    int32_t count;
    std::atomic<int32_t> next{0};
  } share{&work, count};
  workers->run(
      [](void* context, int32_t worker) {
        auto& c = *static_cast<Share*>(context);
        for (int32_t i; (i = c.next.fetch_add(1, std::memory_order_relaxed)) < c.count;)
          (*c.work)(i, worker);
      },
      &share);
}

}  // namespace

PixelPolar pixelPolarOf(int32_t x, int32_t y, int32_t panX, int32_t panY, int32_t size,
                        float pixelsPerMetre, int32_t zeroOffsetDegrees) {
  const int32_t cx = size / 2 - panX, cy = size / 2 - panY;
  PixelPolar p{0.0f, -1.0f, 0.0f, 0};
  if (x == cx && y == cy) return p;
  polarOf(float(x - cx), float(y - cy), offsetRadians(zeroOffsetDegrees), pixelsPerMetre,
          p.angleFraction, p.rangeMetres);
  return p;
}

PixelPolar pixelPolarAt(const ScanImage& image, int32_t zeroOffsetDegrees, int32_t x, int32_t y) {
  PixelPolar p = pixelPolarOf(x, y, image.panX, image.panY, image.imageSize, image.pixelsPerMetre,
                              zeroOffsetDegrees);
  if (x >= 0 && y >= 0 && x < image.imageSize && y < image.imageSize) {
    const size_t i = size_t(y) * size_t(image.imageSize) + size_t(x);
    // Validity is kept per part of a degree: a listed pixel is up to date unless its part of its
    // degree is pending.
    const bool listed = p.rangeMetres >= 0.0f && samplePosition(p.rangeMetres) < 20400.0f;
    if (i < image.map.value.size()) {
      p.value = image.map.value[i];
      const int32_t degree = std::min(int32_t(p.angleFraction * 360.0f), 359);
      const ImageWindow& w = image.map.layout.window;
      const bool inside = x >= w.x && x < w.x + w.width && y >= w.y && y < w.y + w.height;
      const uint8_t part = inside ? kWindowPart : kOutsidePart;
      p.valid = listed && (image.degreePending[degree] & part) == 0 ? 1 : 0;
    }
  }
  return p;
}

void buildPixelMap(PixelMap& m, int32_t panX, int32_t panY, int32_t size, float pixelsPerMetre,
                   int32_t zeroOffsetDegrees, ScanWorkers* workers, const ImageWindow& window) {
  const size_t n = size_t(size) * size_t(size);
  const int32_t cx = size / 2 - panX, cy = size / 2 - panY;
  ImageWindow clipped{0, 0, size, size};
  if (window.width > 0 && window.height > 0) {
    clipped.x = std::clamp(window.x, 0, size);
    clipped.y = std::clamp(window.y, 0, size);
    clipped.width = std::clamp(window.x + window.width, clipped.x, size) - clipped.x;
    clipped.height = std::clamp(window.y + window.height, clipped.y, size) - clipped.y;
  }
  const PixelMap::Layout layout{size, cx, cy, zeroOffsetDegrees, clipped};
  if (layout == m.layout && m.value.size() == n) {
    listReachedPixels(m, pixelsPerMetre);
    return;
  }
  // The storage of the previous map is reused when it is of a similar size: a rebuild after a
  // pan touches no fresh memory. A much smaller image gives the memory back.
  if (m.value.capacity() > 2 * n) m = PixelMap();
  m.value.resize(n);  // every pixel's direction is written below, then cleared
  m.listed.fill(0);
  m.listedOutside.fill(0);
  m.centreIndex = -1;
  m.layout = layout;
  const float offset = offsetRadians(zeroOffsetDegrees);
  for (int32_t d = 0; d < kDegrees; ++d) {
    auto& list = m.degreePixels[size_t(d)];
    list.clear();
    list.reserve(expectedDegreePixels(d, panX, panY, size, offset));
  }
  // The directions first, row by row on the workers, into the value array, which is cleared
  // once the lists hold them.
  float* direction = m.value.data();
  auto directions = [&](int32_t y, int32_t) {
    const float dy = float(y - cy);
    // A pixel and its mirror across the vertical through the centre have directions that differ
    // only in sign before the turn is added, so one arctangent serves both (atan2 is odd in its
    // first argument); the results are those of a direct computation.
    float* row = direction + size_t(y) * size_t(size);
    auto finish = [&](float t) {
      if (t < 0.0f) t += kTwoPi;
      t += offset;
      while (t >= kTwoPi) t -= kTwoPi;
      while (t < 0.0f) t += kTwoPi;
      return t / kTwoPi;
    };
    for (int32_t x = 0; x < size; ++x) {
      const int32_t dx = x - cx;
      if (dx > 0 && cx - dx >= 0) continue;  // filled from its mirror
      const float theta = directionOf(-float(dx), -dy);
      row[x] = finish(theta);
      if (dx < 0 && 2 * cx - x < size) row[2 * cx - x] = finish(-theta);
    }
  };
  shareOut(workers, size, directions);
  auto fill = [&](int32_t y, int32_t xBegin, int32_t xEnd) {
    for (int32_t x = xBegin; x < xEnd; ++x) {
      const int32_t i = y * size + x;
      if (x == cx && y == cy) {
        m.centreIndex = i;
        continue;
      }
      const float f = direction[i];
      const int32_t degree = std::min(int32_t(f * 360.0f), 359);
      m.degreePixels[size_t(degree)].push_back({uint16_t(x), uint16_t(y), f});
    }
  };
  // The window's pixels, then the rest, each in raster order.
  const int32_t x0 = clipped.x, x1 = x0 + clipped.width, y0 = clipped.y, y1 = y0 + clipped.height;
  for (int32_t y = y0; y < y1; ++y) fill(y, x0, x1);
  for (int32_t d = 0; d < kDegrees; ++d)
    m.inWindow[size_t(d)] = uint32_t(m.degreePixels[size_t(d)].size());
  for (int32_t y = 0; y < size; ++y) {
    if (y >= y0 && y < y1) {
      fill(y, 0, x0);
      fill(y, x1, size);
    } else {
      fill(y, 0, size);
    }
  }
  std::fill(m.value.begin(), m.value.end(), 0.0f);
  // The farthest pixel is a corner; its distance as polarOf takes it.
  float maxDistance = 0.0f;
  for (const int32_t x : {0, size - 1}) {
    for (const int32_t y : {0, size - 1}) {
      const float dx = float(x - cx), dy = float(y - cy);
      maxDistance = std::max(maxDistance, std::sqrt(dx * dx + dy * dy));
    }
  }
  m.maxDistance = maxDistance;
  const int32_t shares = workers != nullptr ? workers->count() : 1;
  std::vector<std::vector<int32_t>> starts(static_cast<size_t>(shares));
  std::vector<std::vector<DegreePixel>> scratches(static_cast<size_t>(shares));
  auto order = [&](int32_t d, int32_t worker) {
    DegreePixel* list = m.degreePixels[size_t(d)].data();
    DegreePixel* split = list + m.inWindow[size_t(d)];
    auto& start = starts[size_t(worker)];
    auto& scratch = scratches[size_t(worker)];
    sortByDistance(list, split, cx, cy, start, scratch);
    sortByDistance(split, list + m.degreePixels[size_t(d)].size(), cx, cy, start, scratch);
  };
  shareOut(workers, kDegrees, order);
  listReachedPixels(m, pixelsPerMetre);
  // Lists that grew past their size give the slack back; the next rebuild of the same geometry
  // then fits each list exactly, without a reallocation.
  for (auto& list : m.degreePixels) {
    if (list.capacity() > list.size() + list.size() / 32 + 64) list.shrink_to_fit();
  }
}

PixelMap buildPixelMap(int32_t panX, int32_t panY, int32_t size, float pixelsPerMetre,
                       int32_t zeroOffsetDegrees) {
  PixelMap m;
  buildPixelMap(m, panX, panY, size, pixelsPerMetre, zeroOffsetDegrees);
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
  image.displayRangeIndex = rangeIndex;
  image.imageSize = size;
  image.fitFactor = fit;
  image.pixelsPerMetre = ppm;
  image.clientWidth = w;
  image.clientHeight = h;
  const ImageWindow window =
      sized ? ImageWindow{clientOffsetX(w, h), clientOffsetY(w, h), w, h} : ImageWindow{};
  {
    std::lock_guard<std::mutex> lg(store.lineLock);
    for (uint32_t& f : store.dirtyDegrees) f = 1;
    image.valueHistogram.fill(0);
  }
  buildPixelMap(image.map, image.panX, image.panY, size, ppm, view.zeroOffset, &scanWorkers(image),
                window);
  image.imageMaxRange = image.map.maxRange;
  std::fill(std::begin(image.degreePending), std::end(image.degreePending), kBothParts);
  image.newMapPending = true;
  image.valuesUniform = false;  // a new map: nothing converted or counted, every pixel to colour
  image.currentHistogram.fill(0);
  image.countsKept = true;
  std::fill(std::begin(image.degreeCounted), std::end(image.degreeCounted), uint8_t(0));
  image.colourAll = true;
  image.lineSamples = kLineSamples;
  image.lineCount = kLinesPerTurn;
  image.fullRedrawPending = 1;
}

}  // namespace sk720
