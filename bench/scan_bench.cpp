// Speed of the display path: pixel map rebuild, conversion (degree order against the literal
// raster order), the steady-state paint and the full redraw (each beside the literal paint),
// colour table, storing lines and reading records. A second argument, where there is one, is
// the number of threads the image may use (0: one per core).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/memory_source.h"
#include "records/ping_record.h"
#include "scan/degree_entries.h"
#include "scan/scan_paint.h"
#include "scan/scan_reference.h"
#include "sim/scene.h"

namespace sk720 {
namespace {

// One turn of the synthetic scene at 150 m so that every pixel has data.
struct Fixture {
  std::unique_ptr<LineStore> store = std::make_unique<LineStore>();
  ScanInputs inputs;
  ViewSettings view;
  std::vector<std::vector<uint8_t>> records;

  Fixture() {
    sim::PingPlan plan;
    plan.rangeIndex = 14;
    plan.commandWord = 0x20180284;
    sim::PingSynthesizer synth(plan);
    std::vector<uint8_t> buf(kRecordBufferSize);
    int32_t prev = -1;
    for (int i = 0; i < kLinesPerTurn; ++i) {
      const int32_t n = synth.next(buf.data());
      records.emplace_back(buf.begin(), buf.begin() + n);
      prev = storeEchoLine(*store, buf.data(), false, view, prev);
    }
    view.fitToWindow = 0;
    inputs.currentRangeMm = 150000;
  }
  std::unique_ptr<ScanImage> image(int32_t size, int32_t threads = 1) {
    auto img = std::make_unique<ScanImage>();
    img->displayRangeIndex = 14;
    img->workerCount = threads;
    rebuildScanGeometry(*img, *store, view, inputs, size, size);
    return img;
  }
};

Fixture& fixture() {
  static Fixture f;
  return f;
}

// A rebuild of the same image after a zoom (second argument 0: the display range steps between
// 120 and 150 m, over the same layout) or a pan (1: the centre steps by a pixel, a new layout),
// with the threads of the third.
void BM_PixelMapRebuild(benchmark::State& state) {
  Fixture& f = fixture();
  auto img = std::make_unique<ScanImage>();
  img->displayRangeIndex = 14;
  img->workerCount = int32_t(state.range(2));
  const int32_t size = int32_t(state.range(0));
  const bool pan = state.range(1) != 0;
  rebuildScanGeometry(*img, *f.store, f.view, f.inputs, size, size);
  int32_t step = 0;
  for (auto _ : state) {
    ++step;
    if (pan) {
      img->panX = step % 2;
    } else {
      img->displayRangeIndex = 13 + step % 2;
    }
    rebuildScanGeometry(*img, *f.store, f.view, f.inputs, size, size);
  }
  const double pixels = double(size) * size;
  const double bytes = double(img->map.value.size() * sizeof(float) + [&] {
    size_t listed = 0;
    for (const auto& l : img->map.degreePixels) listed += l.capacity() * sizeof(DegreePixel);
    return listed;
  }());
  state.counters["bytes_per_pixel"] = bytes / pixels;
}

// A rebuild into a new scan image: the first one after the window is created or grows (the
// second argument: threads).
void BM_PixelMapRebuildFresh(benchmark::State& state) {
  Fixture& f = fixture();
  const int32_t size = int32_t(state.range(0));
  for (auto _ : state) {
    auto img = std::make_unique<ScanImage>();
    img->displayRangeIndex = 14;
    img->workerCount = int32_t(state.range(1));
    rebuildScanGeometry(*img, *f.store, f.view, f.inputs, size, size);
    benchmark::DoNotOptimize(img->map.value.data());
    state.PauseTiming();
    img.reset();
    state.ResumeTiming();
  }
}

void BM_FullConversion(benchmark::State& state) {
  Fixture& f = fixture();
  auto img = f.image(int32_t(state.range(0)), int32_t(state.range(1)));
  for (auto _ : state) {
    state.PauseTiming();
    std::fill(std::begin(img->degreePending), std::end(img->degreePending), kBothParts);
    std::fill(std::begin(img->degreeCounted), std::end(img->degreeCounted), uint8_t(0));
    img->valueHistogram.fill(0);
    img->currentHistogram.fill(0);
    state.ResumeTiming();
    convertInvalidPixels(*img, *f.store, f.inputs);
    benchmark::DoNotOptimize(img->map.value.data());
  }
}

// The literal text: one 16-byte record per pixel, every pixel visited in raster order.
void BM_FullConversionReference(benchmark::State& state) {
  Fixture& f = fixture();
  const int32_t size = int32_t(state.range(0));
  auto img = f.image(size);
  ReferenceScan ref = buildReferenceScan(0, 0, size, img->pixelsPerMetre, f.view.zeroOffset);
  for (auto _ : state) {
    state.PauseTiming();
    for (PixelPolar& p : ref.pixelMap) p.valid = 0;
    ref.valueHistogram.fill(0);
    state.ResumeTiming();
    convertReferenceRaster(ref, *f.store, f.inputs);
    benchmark::DoNotOptimize(ref.pixelMap.data());
  }
}

using PaintFunction = int32_t (*)(ScanImage&, LineStore&, const ViewSettings&, const ScanInputs&,
                                  uint32_t, uint32_t*);
int32_t paintIntoSameBuffer(ScanImage& image, LineStore& store, const ViewSettings& view,
                            const ScanInputs& inputs, uint32_t nowMs, uint32_t* pixels) {
  return paintScanImage(image, store, view, inputs, nowMs, pixels);
}

// Playback: one new line per paint, manual contrast (or automatic with the third argument), into
// the same buffer.
void steadyStatePaint(benchmark::State& state, PaintFunction paint) {
  Fixture& f = fixture();
  const int32_t size = int32_t(state.range(0));
  auto img = f.image(size, int32_t(state.range(1)));
  ViewSettings view = f.view;
  view.autoContrast = state.range(2) != 0 ? 1 : 0;
  std::vector<uint32_t> pixels(size_t(size) * size_t(size));
  uint32_t now = 0;
  paint(*img, *f.store, view, f.inputs, now, pixels.data());  // the first, full paint
  int32_t prev = -1;
  size_t next = 0;
  for (auto _ : state) {
    state.PauseTiming();
    prev = storeEchoLine(*f.store, f.records[next].data(), false, view, prev);
    next = (next + 1) % f.records.size();
    now += 25;
    state.ResumeTiming();
    paint(*img, *f.store, view, f.inputs, now, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
}
void BM_SteadyStatePaint(benchmark::State& state) { steadyStatePaint(state, paintIntoSameBuffer); }
// Today's paint: colour table, conversion of the new degrees, every pixel coloured.
void BM_SteadyStatePaintLiteral(benchmark::State& state) {
  steadyStatePaint(state, paintReference);
}

// What a zoom or pan costs after the map is rebuilt (not timed): every pixel converted and
// coloured.
void BM_FullRedraw(benchmark::State& state) {
  Fixture& f = fixture();
  const int32_t size = int32_t(state.range(0));
  auto img = f.image(size, int32_t(state.range(1)));
  std::vector<uint32_t> pixels(size_t(size) * size_t(size));
  paintScanImage(*img, *f.store, f.view, f.inputs, 0, pixels.data());
  for (auto _ : state) {
    state.PauseTiming();
    rebuildScanGeometry(*img, *f.store, f.view, f.inputs, size, size);
    state.ResumeTiming();
    paintScanImage(*img, *f.store, f.view, f.inputs, 0, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
}

// A zoom in a 1920 x 1080 client (the image 1920 x 1920), which paints its window first: the
// paint after the zoom (argument part 0) and the next one, which converts the rest (1).
void BM_WindowFirstRedraw(benchmark::State& state) {
  Fixture& f = fixture();
  constexpr int32_t w = 1920, h = 1080;
  auto img = std::make_unique<ScanImage>();
  img->displayRangeIndex = 14;
  img->workerCount = int32_t(state.range(0));
  rebuildScanGeometry(*img, *f.store, f.view, f.inputs, w, h);
  std::vector<uint32_t> pixels(size_t(w) * size_t(w));
  paintScanImage(*img, *f.store, f.view, f.inputs, 0, pixels.data(), false, true);
  const bool rest = state.range(1) == 1;
  for (auto _ : state) {
    state.PauseTiming();
    paintScanImage(*img, *f.store, f.view, f.inputs, 0, pixels.data(), false, true);
    rebuildScanGeometry(*img, *f.store, f.view, f.inputs, w, h);
    if (rest) paintScanImage(*img, *f.store, f.view, f.inputs, 0, pixels.data(), false, true);
    state.ResumeTiming();
    paintScanImage(*img, *f.store, f.view, f.inputs, 0, pixels.data(), false, true);
    benchmark::DoNotOptimize(pixels.data());
  }
}

// The least memory a full redraw at 1920 x 1920 moves, in the friendliest order: one read of
// each store cache line a listed pixel samples, in address order, and one sequential write of
// the pixels (argument 0: what any exact conversion of these lines must move); then also one
// read of the degree lists, one write of the values and the colouring's read of them and write
// of the pixels (1: what this design moves). A full redraw cannot be faster than this on the
// machine it runs on.
void BM_FullRedrawFloor(benchmark::State& state) {
  Fixture& f = fixture();
  constexpr int32_t size = 1920;
  auto img = f.image(size);
  const PixelMap& m = img->map;
  std::vector<uint8_t> touched(size_t(kStoreLines) * kLineSamples / 32);
  const EntryScale scale(m);
  DecodedBlock block;
  for (int32_t d = 0; d < kDegrees; ++d) {
    const DegreePixel* list = m.degreePixels[size_t(d)].data();
    for (size_t begin = 0; begin < m.listed[size_t(d)]; begin += kDecodeBlock) {
      const size_t n = std::min(kDecodeBlock, size_t(m.listed[size_t(d)]) - begin);
      decodeEntries(list + begin, n, scale, Rotation{}, block);
      for (size_t j = 0; j < n; ++j) {
        const auto sample = size_t(block.sample[j]);
        touched[(size_t(block.line[j]) * kLineSamples + sample) / 32] = 1;
        if (block.weight[j] == 0.0f) continue;  // the next line is not read
        const int32_t next = block.line[j] + 1 == kLinesPerTurn ? 0 : block.line[j] + 1;
        touched[(size_t(next) * kLineSamples + sample) / 32] = 1;
      }
    }
  }
  std::vector<uint32_t> lines;
  for (size_t i = 0; i < touched.size(); ++i) {
    if (touched[i]) lines.push_back(uint32_t(i));
  }
  const bool design = state.range(0) != 0;
  std::vector<uint32_t> pixels(size_t(size) * size);
  std::vector<float> values(pixels.size());
  const uint16_t* store = f.store->values.get();
  uint64_t sum = 0;
  for (auto _ : state) {
    for (const uint32_t line : lines) sum += store[size_t(line) * 32];
    if (design) {
      for (const auto& list : m.degreePixels) {
        const auto* words = reinterpret_cast<const uint64_t*>(list.data());
        for (size_t i = 0; i < list.size(); i += 8) sum += words[i];  // a cache line each
      }
      std::fill(values.begin(), values.end(), float(sum & 1));
      std::memcpy(pixels.data(), values.data(), pixels.size() * sizeof(uint32_t));
    } else {
      std::fill(pixels.begin(), pixels.end(), uint32_t(sum));
    }
    benchmark::DoNotOptimize(sum);
    benchmark::DoNotOptimize(pixels.data());
  }
  size_t moved = lines.size() * 64 + pixels.size() * 4;
  if (design) {
    for (const auto& list : m.degreePixels) moved += list.size() * sizeof(DegreePixel);
    moved += values.size() * 4 * 2;  // values written, then read by the colouring
  }
  state.counters["MB"] = double(moved) / 1e6;
}

// A contrast (argument 2 = 0) or brightness (1) step, or the automatic-contrast period (2).
void BM_Refresh(benchmark::State& state, PaintFunction paint) {
  Fixture& f = fixture();
  const int32_t size = int32_t(state.range(0));
  auto img = f.image(size, int32_t(state.range(1)));
  ViewSettings view = f.view;
  const int64_t kind = state.range(2);
  view.autoContrast = kind == 2 ? 1 : 0;
  std::vector<uint32_t> pixels(size_t(size) * size_t(size));
  uint32_t now = 0;
  paint(*img, *f.store, view, f.inputs, now, pixels.data());
  for (auto _ : state) {
    if (kind == 0) view.contrast = view.contrast == 5 ? 6 : 5;
    if (kind == 1) view.brightness = view.brightness == 3 ? 12 : 3;
    now += 5001;
    paint(*img, *f.store, view, f.inputs, now, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
}
void BM_RefreshRepaint(benchmark::State& state) { BM_Refresh(state, paintIntoSameBuffer); }
void BM_RefreshRepaintLiteral(benchmark::State& state) { BM_Refresh(state, paintReference); }

// Colouring every pixel: the shared fast pass, and the literal one (argument threads -1).
void BM_ColourEveryPixel(benchmark::State& state) {
  Fixture& f = fixture();
  const int32_t size = int32_t(state.range(0));
  auto img = f.image(size, int32_t(std::max<int64_t>(state.range(1), 0)));
  std::vector<uint32_t> pixels(size_t(size) * size_t(size));
  paintScanImage(*img, *f.store, f.view, f.inputs, 0, pixels.data());
  for (auto _ : state) {
    if (state.range(1) < 0) {
      colourPixels(*img, 255, pixels.data());
    } else {
      colourEveryPixel(*img, 255, pixels.data());
    }
    benchmark::DoNotOptimize(pixels.data());
  }
}

void BM_ColourTableBuild(benchmark::State& state) {
  auto table = std::make_unique<ColourTable>();
  int32_t brightness = 0;
  for (auto _ : state) {
    buildColourTable(0, int32_t(state.range(0)), brightness, *table);
    brightness = (brightness + 1) % 20;
    benchmark::DoNotOptimize(table->data());
  }
}

void BM_StoreEchoLine(benchmark::State& state) {
  Fixture& f = fixture();
  int32_t prev = -1;
  size_t next = 0;
  for (auto _ : state) {
    prev = storeEchoLine(*f.store, f.records[next].data(), false, f.view, prev);
    next = (next + 1) % f.records.size();
  }
}

void BM_ReadPingRecordFromMemory(benchmark::State& state) {
  Fixture& f = fixture();
  std::vector<uint8_t> stream;
  for (size_t i = 0; i < 200; ++i)
    stream.insert(stream.end(), f.records[i].begin(), f.records[i].end());
  std::vector<uint8_t> buf(kRecordBufferSize);
  ManualClock clock;
  int64_t bytes = 0;
  for (auto _ : state) {
    MemorySource src(stream);
    RecordReader reader;
    while (ReadPingRecord(src, buf.data(), clock, reader) >= 0) {
    }
    bytes += int64_t(stream.size());
  }
  state.SetBytesProcessed(bytes);
  state.SetItemsProcessed(int64_t(state.iterations()) * 200);
}

// Threads 1 are for the one-core table (scripts/bench runs it under taskset), threads 0 for the
// table on every core.
void sizesAndThreads(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "threads"});
  for (int64_t size : {1024, 1920}) {
    for (int64_t threads : {1, 0}) b->Args({size, threads});
  }
}
void paintCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "threads", "auto"});
  for (int64_t threads : {1, 0}) {
    b->Args({1920, threads, 0});
    b->Args({1920, threads, 1});
  }
}
void refreshCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "threads", "kind"});
  for (int64_t threads : {1, 0}) {
    for (int64_t kind : {0, 1, 2}) b->Args({1920, threads, kind});
  }
}

BENCHMARK(BM_PixelMapRebuild)
    ->ArgNames({"size", "pan", "threads"})
    ->ArgsProduct({{1024, 1920}, {0, 1}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PixelMapRebuildFresh)
    ->ArgNames({"size", "threads"})
    ->ArgsProduct({{1024, 1920}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullConversion)->Apply(sizesAndThreads)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullConversionReference)->Arg(1024)->Arg(1920)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SteadyStatePaint)->Apply(paintCases)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SteadyStatePaintLiteral)
    ->Args({1920, 1, 0})
    ->Args({1920, 1, 1})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRedraw)->Apply(sizesAndThreads)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindowFirstRedraw)
    ->ArgNames({"threads", "part"})
    ->ArgsProduct({{1, 0}, {0, 1}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullRedrawFloor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshRepaint)->Apply(refreshCases)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshRepaintLiteral)
    ->Args({1920, 1, 0})
    ->Args({1920, 1, 1})
    ->Args({1920, 1, 2})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourEveryPixel)
    ->ArgNames({"size", "threads"})
    ->Args({1920, -1})
    ->Args({1920, 1})
    ->Args({1920, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColourTableBuild)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoreEchoLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadPingRecordFromMemory)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace sk720

BENCHMARK_MAIN();
