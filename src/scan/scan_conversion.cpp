#include <algorithm>

#include "scan/degree_entries.h"
#include "scan/north_up.h"
#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"

namespace sk720 {

Rotation northUpRotation(const ScanInputs& in) {
  Rotation r;
  if (in.compassValid.load(std::memory_order_relaxed) != 0 &&
      in.compassEnabled.load(std::memory_order_relaxed) != 0 &&
      in.zeroAlwaysUp.load(std::memory_order_relaxed) == 0) {
    r.active = true;
    r.add = kTwoPi - in.headingRadians.load(std::memory_order_relaxed);
  }
  return r;
}

void markDirtyPixels(ScanImage& image, LineStore& store) {
  uint32_t taken[kDegrees];
  {
    std::lock_guard<std::mutex> g(store.lineLock);
    for (int32_t d = 0; d < kDegrees; ++d) {
      taken[d] = store.dirtyDegrees[d];
      store.dirtyDegrees[d] = 0;
    }
  }
  // A pending part stands for all of its listed pixels being out of date.
  for (int32_t d = 0; d < kDegrees; ++d) {
    if (taken[d] == 1) image.degreePending[d] = kBothParts;
  }
}

namespace {

// Passes over fewer pixels than this run on the calling thread alone: waking the workers costs
// more than they save (a paint during playback converts a degree or two).
constexpr size_t kParallelPixels = size_t(1) << 16;

// The writes of a degree land a row apart: without the hint each waits for its line to load.
inline void prefetchForWrite(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p, 1);
#else
  (void)p;
#endif
}

// Each worker's counts: kHistogramParts histograms of the values converted, then as many of the
// values they replaced. Counting in turn into several histograms keeps runs of equal values
// from waiting on one counter.
struct Counts {
  uint32_t* added;
  uint32_t* removed;
};

// How a pass counts what it converts: not at all (manual contrast reads no histogram), into the
// counts only, or also out of them for the values replaced.
enum Counting { kNoCounts, kAdding, kReplacing };

// Entries converted in blocks: each block is decoded and its reads and writes requested while
// the block before it is converted. The reads of one degree follow its lines outwards, but two
// lines per pixel are more streams than the hardware follows on its own, and the writes land a
// row apart. The replaced values are counted out of the degree when they had been counted into
// the image's current histogram before.
template <Counting kCount>
void convertEntries(const DegreePixel* e, size_t count, const EntryScale& scale,
                    const LineStore& store, const Rotation& rot, float* values,
                    const Counts& counts) {
  DecodedBlock blocks[2];
  auto request = [&](size_t begin, DecodedBlock& b) {
    const size_t n = std::min(kDecodeBlock, count - begin);
    decodeEntries(e + begin, n, scale, rot, b);
    for (size_t j = 0; j < n; ++j) {
      store.prefetch(b.line[j], b.sample[j]);
      store.prefetch(b.line[j] + 1, b.sample[j]);
      prefetchForWrite(values + b.pixel[j]);
    }
  };
  if (count > 0) request(0, blocks[0]);
  for (size_t begin = 0, k = 0; begin < count; begin += kDecodeBlock, k ^= 1) {
    if (begin + kDecodeBlock < count) request(begin + kDecodeBlock, blocks[k ^ 1]);
    const DecodedBlock& b = blocks[k];
    const size_t n = std::min(kDecodeBlock, count - begin);
    for (size_t j = 0; j < n; ++j) {
      const float v = interpolateLines(b.line[j], b.weight[j], b.sample[j], store);
      const size_t part = (j % kHistogramParts) * kHistogramBins;
      float& value = values[size_t(b.pixel[j])];
      if (kCount == kReplacing) ++counts.removed[part + size_t(roundHalfUp(value))];
      value = v;
      if (kCount != kNoCounts) ++counts.added[part + size_t(roundHalfUp(v))];
    }
  }
}

void convertRun(ScanImage& image, int32_t degree, const DegreePixel* e, size_t n,
                const LineStore& store, const Rotation& rot, bool counting, const Counts& counts) {
  PixelMap& m = image.map;
  const EntryScale scale(m);
  if (!counting) {
    convertEntries<kNoCounts>(e, n, scale, store, rot, m.value.data(), counts);
  } else if (image.degreeCounted[degree] != 0) {
    convertEntries<kReplacing>(e, n, scale, store, rot, m.value.data(), counts);
  } else {
    convertEntries<kAdding>(e, n, scale, store, rot, m.value.data(), counts);
  }
}

void convertDegree(ScanImage& image, int32_t degree, uint8_t parts, const LineStore& store,
                   const Rotation& rot, bool counting, const Counts& counts) {
  const PixelMap& m = image.map;
  const DegreePixel* list = m.degreePixels[size_t(degree)].data();
  if (parts & kWindowPart) {
    convertRun(image, degree, list, m.listed[size_t(degree)], store, rot, counting, counts);
  }
  if (parts & kOutsidePart) {
    convertRun(image, degree, list + m.inWindow[size_t(degree)], m.listedOutside[size_t(degree)],
               store, rot, counting, counts);
  }
}

struct ConversionPass {
  ScanImage* image;
  const LineStore* store;
  Rotation rot;
  const int16_t* degrees;  // in the order they are handed out
  const uint8_t* parts;    // of each degree
  int32_t count;
  bool counting;
  std::atomic<int32_t> next{0};
};

constexpr size_t kWorkerCountsSize = size_t(2) * kHistogramParts * kHistogramBins;

// Each worker takes the next degree of the pass and counts on its own, and the caller adds the
// counts up afterwards: the histograms are exactly those of a single thread.
void conversionTask(void* context, int32_t worker) {
  auto& pass = *static_cast<ConversionPass*>(context);
  uint32_t* own = pass.image->workerHistograms.data() + size_t(worker) * kWorkerCountsSize;
  if (pass.counting) std::fill_n(own, kWorkerCountsSize, 0u);
  const Counts counts{own, own + size_t(kHistogramParts) * kHistogramBins};
  for (;;) {
    const int32_t i = pass.next.fetch_add(1, std::memory_order_relaxed);
    if (i >= pass.count) break;
    const int32_t d = pass.degrees[i];
    convertDegree(*pass.image, d, pass.parts[d], *pass.store, pass.rot, pass.counting, counts);
  }
}

// The value histogram accumulates every conversion; the current one counts each pixel's present
// value once (unsigned wrap-around makes the subtraction exact).
void addWorkerCounts(ScanImage& image, int32_t workers) {
  for (int32_t w = 0; w < workers; ++w) {
    const uint32_t* added = image.workerHistograms.data() + size_t(w) * kWorkerCountsSize;
    const uint32_t* removed = added + size_t(kHistogramParts) * kHistogramBins;
    for (int32_t p = 0; p < kHistogramParts; ++p) {
      for (size_t b = 0; b < size_t(kHistogramBins); ++b) {
        image.valueHistogram[b] += added[b];
        image.currentHistogram[b] += added[b] - removed[b];
      }
      added += kHistogramBins;
      removed += kHistogramBins;
    }
  }
}

// Many pixels are shared out by degree among the workers, the rest converted here.
void runConversionPass(ScanImage& image, const LineStore& store, const Rotation& rot, size_t pixels,
                       const int16_t* degrees, const uint8_t* parts, int32_t count, bool counting) {
  const int32_t workers = scanWorkers(image).count();
  if (pixels < kParallelPixels || workers < 2) {
    ConversionPass pass{&image, &store, rot, degrees, parts, count, counting};
    conversionTask(&pass, 0);
    if (counting) addWorkerCounts(image, 1);
    return;
  }
  // Neighbouring degrees share the cache lines along their border: the workers start in
  // different parts of the turn so that they seldom write the same line at the same time.
  int16_t order[kDegrees];
  const int32_t stride = (count + workers - 1) / workers;
  int32_t n = 0;
  for (int32_t i = 0; i < stride; ++i) {
    for (int32_t w = 0; w < workers; ++w) {
      if (w * stride + i < count) order[n++] = degrees[w * stride + i];
    }
  }
  ConversionPass pass{&image, &store, rot, order, parts, count, counting};
  image.workers->run(conversionTask, &pass);
  if (counting) addWorkerCounts(image, workers);
}

}  // namespace

ScanWorkers& scanWorkers(ScanImage& image) {
  if (!image.workers) {
    image.workers = std::make_unique<ScanWorkers>(image.workerCount);
    image.workerHistograms.assign(size_t(image.workers->count()) * kWorkerCountsSize, 0u);
  }
  return *image.workers;
}

// Degree by degree: the pixels of one degree read the same eight or nine lines and come from one
// contiguous list ordered along the beam, so the store is read in narrow streams instead of
// jumping a line per pixel as raster order does. A pending part of a degree has had all of its
// listed pixels invalidated (by taking its flag or by a new map), so every one is converted. Many
// pending pixels are shared out by degree among the workers.
void convertInvalidPixels(ScanImage& image, const LineStore& store, const ScanInputs& inputs,
                          bool counting, bool windowFirst) {
  PixelMap& m = image.map;
  const Rotation rot = northUpRotation(inputs);
  size_t windowPixels = 0;
  for (int32_t d = 0; d < kDegrees; ++d) {
    if (image.degreePending[d] & kWindowPart) windowPixels += m.listed[size_t(d)];
  }
  // The redraw of a new map (a zoom, a pan) shows sooner when the pixels outside the window wait
  // for the next paint. Not under the automatic contrast: its level needs every pixel's value.
  const bool deferOutside =
      image.newMapPending && windowFirst && !counting && windowPixels >= m.value.size() / 8;
  image.newMapPending = false;
  int16_t pending[kDegrees];
  uint8_t parts[kDegrees] = {};
  int32_t count = 0;
  size_t pixels = 0;
  bool whole = true;
  for (int32_t d = 0; d < kDegrees; ++d) {
    uint8_t p = image.degreePending[d];
    if (deferOutside && (p & kWindowPart)) p = kWindowPart;
    whole = whole && p == kBothParts;
    if (!p) continue;
    parts[d] = p;
    pending[count++] = int16_t(d);
    if (p & kWindowPart) pixels += m.listed[size_t(d)];
    if (p & kOutsidePart) pixels += m.listedOutside[size_t(d)];
  }
  if (count == 0) return;

  if (!counting) image.countsKept = false;
  runConversionPass(image, store, rot, pixels, pending, parts, count, counting);
  for (int32_t i = 0; i < count; ++i) {
    const int32_t d = pending[i];
    image.degreePending[d] = uint8_t(image.degreePending[d] & ~parts[d]);
    image.degreeConverted[d] |= parts[d];
    image.degreeCounted[d] = counting ? 1 : 0;
  }
  if (whole) {
    image.valuesUniform = true;
    image.valuesRotated = rot.active;
    image.valuesRotationAdd = rot.add;
  } else if (!valuesConvertedWith(image, rot)) {
    image.valuesUniform = false;
  }
}

void countPresentValues(ScanImage& image) {
  if (image.countsKept) return;
  auto& h = image.currentHistogram;
  h.fill(0);
  for (const float v : image.map.value) ++h[size_t(roundHalfUp(v))];
  // Pixels past the listed prefixes keep the 0 of a new map and are not counted.
  size_t listed = 0;
  for (int32_t d = 0; d < kDegrees; ++d) listed += listedPixels(image.map, d);
  h[0] -= uint32_t(image.map.value.size() - listed);
  std::fill(std::begin(image.degreeCounted), std::end(image.degreeCounted), uint8_t(1));
  image.countsKept = true;
}

}  // namespace sk720
