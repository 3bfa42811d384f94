#include "views/slider_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace sk720 {

namespace {

constexpr int32_t kMinThumbLength = 20;
constexpr int32_t kThumbInset = 4;

int64_t fileSizeOf(const SliderState& s) {
  // Sizes beyond the signed range cannot come from a real file; keep arithmetic in int64.
  return int64_t(std::min<uint64_t>(s.report.fileSize, uint64_t(INT64_MAX)));
}

int64_t halfTurnBeforeEnd(const SliderState& s) {
  const int64_t half = int64_t(std::min<uint64_t>(turnBytes(s.report) / 2, uint64_t(INT64_MAX)));
  return std::max<int64_t>(fileSizeOf(s) - half, 0);
}

int64_t clampToFile(const SliderState& s, int64_t position) {
  return std::clamp<int64_t>(position, 0, fileSizeOf(s));
}

}  // namespace

uint64_t turnBytes(const PlaybackReport& r) {
  if (r.linesPerTurn <= 0) return 0;
  return uint64_t(r.linesPerTurn) * uint64_t(r.recordLength) * uint64_t(r.datasize);
}

void computeSliderGeometry(SliderState& s, int32_t clientRight, int32_t h) {
  const int32_t track = std::max(clientRight - 2 * h, 0);
  const uint64_t size = s.report.fileSize;
  int32_t thumb = track;  // nothing known yet, or a file shorter than a turn: the whole track
  if (size > 0) {
    const double ratio = double(turnBytes(s.report)) / double(size);
    if (ratio < 1.0) thumb = int32_t(ratio * track);
  }
  thumb = std::min(std::max(thumb, kMinThumbLength), track);
  s.thumbLength = thumb;
  s.freeLength = track - thumb;

  int32_t offset = 0;
  if (size > 0) {
    const double along = std::min(double(s.report.position) / double(size), 1.0);
    offset = int32_t(along * s.freeLength);
  }
  s.thumbRect.left = h + offset;
  s.thumbRect.right = s.thumbRect.left + thumb;
  s.thumbRect.top = kThumbInset;
  s.thumbRect.bottom = std::max(h - kThumbInset, kThumbInset);
}

int64_t sliderPositionAt(const SliderState& s, int32_t x, int32_t clientRight, int32_t h) {
  const int64_t size = fileSizeOf(s);
  if (size <= 0) return 0;
  if (x > clientRight - s.thumbLength - h) return halfTurnBeforeEnd(s);
  if (s.freeLength <= 0) return 0;  // the thumb fills the track: nowhere to go but the start
  // The thumb's centre follows the pointer. Left of the start it stays at 0; the pointer offset
  // is at most freeLength here, so offset x (size / free) cannot pass the file's end.
  const int64_t free = s.freeLength;
  const int64_t offset = std::clamp<int64_t>(int64_t(x) - s.thumbLength / 2 - h, 0, free);
  return clampToFile(s, offset * (size / free) + offset * (size % free) / free);
}

int64_t sliderClick(SliderState& s, int32_t x, int32_t y, int32_t clientRight, int32_t h) {
  s.hover = s.thumbRect.contains(x, y) ? 1 : 0;
  if (s.hover == 1 && s.report.recordLength != 0) {
    s.dragging = 1;
    return kNoSeekRequest;
  }
  const int64_t size = fileSizeOf(s);
  if (size <= 0) return kNoSeekRequest;  // no report yet: nothing to seek in
  const int64_t position = clampToFile(s, int64_t(std::min<uint64_t>(s.report.position, INT64_MAX)));
  int64_t target;
  if (x < h) {
    target = std::max<int64_t>(position - size / 10, 0);
  } else if (x > clientRight - h) {
    target = position + size / 10;
    if (target >= size) target = halfTurnBeforeEnd(s);
  } else {
    // The thumb moves with the next report.
    computeSliderGeometry(s, clientRight, h);
    return sliderPositionAt(s, x, clientRight, h);
  }
  s.report.position = uint64_t(target);
  return target;
}

int64_t sliderMouseMove(SliderState& s, int32_t x, int32_t y, bool leftDown, int32_t clientRight,
                        int32_t h) {
  s.hover = s.thumbRect.contains(x, y) ? 1 : 0;
  if (!leftDown) {
    s.dragging = 0;
    return kNoSeekRequest;
  }
  if (s.dragging != 1 || s.hover != 1 || fileSizeOf(s) <= 0) return kNoSeekRequest;
  computeSliderGeometry(s, clientRight, h);
  const int64_t target = sliderPositionAt(s, x, clientRight, h);
  s.report.position = uint64_t(target);
  // Place the thumb at once so that it stays under the pointer for the next move.
  computeSliderGeometry(s, clientRight, h);
  return target;
}

bool sliderTakeReport(SliderState& s, const PlaybackReport& r, int32_t clientRight, int32_t h) {
  if (s.dragging == 1) return false;
  s.report = r;
  if (r.recordLength != 0) computeSliderGeometry(s, clientRight, h);
  return true;
}

SliderArrows sliderArrows(int32_t width, int32_t h) {
  const int32_t a = int32_t(std::sqrt(3.0) / 2.0 * 0.6 * h + 0.5);
  const int32_t d = (h - a) / 2;
  const float mid = float(h) / 2.0f, upper = 0.2f * float(h), lower = 0.8f * float(h);
  SliderArrows arrows;
  arrows.left[0] = {float(d), mid};
  arrows.left[1] = {float(d + a), upper};
  arrows.left[2] = {float(d + a), lower};
  arrows.right[0] = {float(width - d), mid};
  arrows.right[1] = {float(width - d - a), upper};
  arrows.right[2] = {float(width - d - a), lower};
  return arrows;
}

}  // namespace sk720
