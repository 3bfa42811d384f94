#pragma once
// Record files to one painted scan image, through the playback path and the scan view's paint.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/view_settings.h"
#include "sk720/progress.h"

namespace sk720::cli {

// What is drawn over the image, as the program's scan view draws it.
struct RenderOverlays {
  bool enabled = false;  // range rings, spokes and pointer
  bool info = false;     // the information strip at the top
  bool compass = false;  // compass marks and heading dial, where the records carry a heading
  std::optional<std::array<int32_t, 4>> ruler;   // fixed ruler ends, client coordinates
  std::optional<std::array<int32_t, 2>> cursor;  // mouse position, client coordinates
};

struct RenderJob {
  std::vector<std::string> files;
  std::string output;  // PNG path; empty: keep the pixels in the result only
  int32_t width = 1024, height = 1024;
  std::optional<int32_t> rangeIndex;  // default: the range of the last echo line
  int64_t recordLimit = 0;            // 0 = every record
  ViewSettings view;
  RenderOverlays overlays;
  ProgressLine* progress = nullptr;  // told of every record read
};

struct RenderResult {
  uint64_t recordsUsed = 0;
  int32_t displayRangeMm = 0;
  int32_t contrastLevel = 0;
  std::vector<uint32_t> pixels;  // the visible width x height window, BGRX
};

bool renderRecordFiles(const RenderJob& job, RenderResult& result, std::string* error);

}  // namespace sk720::cli
