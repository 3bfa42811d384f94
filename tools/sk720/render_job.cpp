#include "sk720/render_job.h"

#include <algorithm>
#include <memory>

#include "records/ping_record.h"
#include "records/playback_feed.h"
#include "scan/overlay_frame.h"
#include "scan/png_writer.h"
#include "scan/scan_paint.h"
#include "sk720/overlay_paint.h"
#include "sk720/record_walk.h"
#include "views/scan_interaction.h"

namespace sk720::cli {

namespace {

// Draws a list onto a black layer and ORs it into the picture at (x, y): the strip and the dial
// are combined into the window this way, so that their black leaves the picture unchanged.
bool orLayer(std::vector<uint32_t>& picture, int32_t pw, int32_t ph, int32_t x, int32_t y,
             int32_t w, int32_t h, const OverlayList& list, std::string* error) {
  std::vector<uint32_t> layer(size_t(w) * size_t(h), 0);
  if (!paintOverlayList(layer.data(), w, h, w, list, error)) return false;
  for (int32_t row = 0; row < h; ++row) {
    if (y + row < 0 || y + row >= ph) continue;
    for (int32_t col = 0; col < w; ++col) {
      if (x + col < 0 || x + col >= pw) continue;
      picture[size_t(y + row) * size_t(pw) + size_t(x + col)] |=
          layer[size_t(row) * size_t(w) + size_t(col)];
    }
  }
  return true;
}

}  // namespace

bool renderRecordFiles(const RenderJob& job, RenderResult& result, std::string* error) {
  auto store = std::make_unique<LineStore>();
  ScanInputs shared;
  GpsFix gps;
  PlaybackFeedState feed;
  bool sawEcho = false;
  int32_t echoRangeMm = 0;
  uint64_t valid = 0;
  uint64_t bytesBefore = 0;

  std::string lastFile;
  for (const std::string& path : job.files) {
    lastFile = path;
    uint64_t fileBytes = 0;
    const bool opened = walkRecordFile(
        path,
        [&](int32_t r, const uint8_t* rec, uint64_t offset) {
          fileBytes = offset;
          if (job.progress) job.progress->update(valid, bytesBefore + offset);
          if (r != kRecordEnd0 && r != kRecordEnd1) return true;
          if (job.recordLimit > 0 && valid >= uint64_t(job.recordLimit)) return false;
          ++valid;
          if (feedPlaybackRecord(feed, rec, *store, job.view, shared, gps)) {
            sawEcho = true;
            echoRangeMm = shared.currentRangeMm.load();
          }
          return true;
        },
        error);
    if (!opened) {
      if (error) *error = path + ": " + *error;
      return false;
    }
    bytesBefore += fileBytes;
    if (job.recordLimit > 0 && valid >= uint64_t(job.recordLimit)) break;
  }
  if (valid == 0) {
    if (error) {
      *error =
          (job.files.size() == 1 ? job.files[0]
                                 : "the " + std::to_string(job.files.size()) + " files given") +
          ": no ping record found";
    }
    return false;
  }

  ScanImage image;
  image.displayRangeIndex = job.rangeIndex ? *job.rangeIndex : rangeIndexOf(echoRangeMm);
  if (!sawEcho) shared.currentRangeMm.store(kDisplayRangesMm[image.displayRangeIndex]);
  shared.compassEnabled.store(job.view.compassEnabled);
  shared.zeroAlwaysUp.store(job.view.zeroAlwaysUp);
  rebuildScanGeometry(image, *store, job.view, shared, job.width, job.height);

  const int32_t size = image.imageSize;
  std::vector<uint32_t> canvas(size_t(size) * size_t(size), 0);
  result.contrastLevel = paintScanImage(image, *store, job.view, shared, 0, canvas.data());
  result.recordsUsed = valid;

  // The overlays as the scan view draws them during playback of these records.
  OverlayState overlays;
  const OverlayFrame* frame = nullptr;
  if (job.overlays.enabled) {
    ViewSettings view = job.view;
    view.showInfo = job.overlays.info ? 1 : 0;
    ScanInteraction ui;
    if (const auto& r = job.overlays.ruler) {
      ui.rulerMode = 1;
      ui.rulerState = 2;
      ui.rulerX1 = (*r)[0], ui.rulerY1 = (*r)[1], ui.rulerX2 = (*r)[2], ui.rulerY2 = (*r)[3];
    }
    if (const auto& c = job.overlays.cursor) ui.cursorX = (*c)[0], ui.cursorY = (*c)[1];
    OverlayInput in;
    fillOverlayInput(in, image, ui, view, shared, *store, gps, job.width, job.height);
    if (!job.overlays.cursor) in.cursorInside = 0;
    in.statusVisible = 1;  // the playback thread runs while its picture shows
    in.statusText = lastFile;
    frame = &buildOverlayFrame(overlays, in, 0);
    if (!paintOverlayList(canvas.data(), size, size, size, frame->canvas, error)) {
      releaseOverlayFonts();
      return false;
    }
  }
  result.displayRangeMm = kDisplayRangesMm[image.displayRangeIndex];

  const int32_t offX = clientOffsetX(job.width, job.height);
  const int32_t offY = clientOffsetY(job.width, job.height);
  result.pixels.resize(size_t(job.width) * size_t(job.height));
  for (int32_t y = 0; y < job.height; ++y) {
    const uint32_t* src = canvas.data() + size_t(y + offY) * size_t(size) + size_t(offX);
    std::copy(src, src + job.width,
              result.pixels.begin() + ptrdiff_t(size_t(y) * size_t(job.width)));
  }
  if (frame) {
    const bool drawn = (!frame->dialVisible ||
                        orLayer(result.pixels, job.width, job.height, frame->dialX, frame->dialY,
                                frame->dialWidth, frame->dialHeight, frame->dial, error)) &&
                       orLayer(result.pixels, job.width, job.height, 0, 0, job.width,
                               std::min(100, job.height), frame->strip, error);
    releaseOverlayFonts();
    if (!drawn) return false;
  }
  if (!job.output.empty()) {
    return writePngBgrx(job.output, result.pixels.data(), job.width, job.height, job.width, error);
  }
  return true;
}

}  // namespace sk720::cli
