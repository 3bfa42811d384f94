#include "sk720/render_job.h"

#include <memory>

#include "records/ping_record.h"
#include "records/playback_feed.h"
#include "scan/png_writer.h"
#include "scan/scan_paint.h"
#include "sk720/record_walk.h"

namespace sk720::cli {

bool renderRecordFiles(const RenderJob& job, RenderResult& result, std::string* error) {
  auto store = std::make_unique<LineStore>();
  ScanInputs shared;
  GpsFix gps;
  PlaybackFeedState feed;
  bool sawEcho = false;
  int32_t echoRangeMm = 0;
  uint64_t valid = 0;
  uint64_t bytesBefore = 0;

  for (const std::string& path : job.files) {
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
    if (!opened) return false;
    bytesBefore += fileBytes;
    if (job.recordLimit > 0 && valid >= uint64_t(job.recordLimit)) break;
  }
  if (valid == 0) {
    if (error) *error = "no valid record in the input";
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
  result.displayRangeMm = kDisplayRangesMm[image.displayRangeIndex];

  const int32_t offX = clientOffsetX(job.width, job.height);
  const int32_t offY = clientOffsetY(job.width, job.height);
  result.pixels.resize(size_t(job.width) * size_t(job.height));
  for (int32_t y = 0; y < job.height; ++y) {
    const uint32_t* src = canvas.data() + size_t(y + offY) * size_t(size) + size_t(offX);
    std::copy(src, src + job.width, result.pixels.begin() + ptrdiff_t(size_t(y) * size_t(job.width)));
  }
  if (!job.output.empty()) {
    return writePngBgrx(job.output, result.pixels.data(), job.width, job.height, job.width, error);
  }
  return true;
}

}  // namespace sk720::cli
