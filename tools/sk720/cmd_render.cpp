// sk720 render: one paint of the scan image from record files, written as PNG.
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "records/ping_record.h"
#include "sk720/commands.h"
#include "sk720/options.h"
#include "sk720/path_checks.h"
#include "sk720/record_walk.h"
#include "sk720/render_job.h"

namespace sk720::cli {

namespace {

// "A,B,..." with exactly N integers of client coordinates.
template <size_t N>
std::optional<std::array<int32_t, N>> parseIntegerList(const std::string& text) {
  std::array<int32_t, N> values{};
  size_t start = 0;
  for (size_t i = 0; i < N; ++i) {
    const size_t comma = text.find(',', start);
    if ((comma == std::string::npos) != (i + 1 == N)) return std::nullopt;
    auto v = parseInteger(text.substr(start, comma - start), -100000, 100000);
    if (!v) return std::nullopt;
    values[i] = int32_t(*v);
    start = comma + 1;
  }
  return values;
}

// A point given in picture pixels must lie inside the picture, or nothing of it would be drawn.
bool insidePicture(const RenderJob& job, int32_t x, int32_t y) {
  return x >= 0 && y >= 0 && x < job.width && y < job.height;
}

std::string pictureBounds(const RenderJob& job) {
  return "points inside the " + std::to_string(job.width) + "x" + std::to_string(job.height) +
         " picture: X 0 to " + std::to_string(job.width - 1) + ", Y 0 to " +
         std::to_string(job.height - 1);
}

}  // namespace

int runRender(const Args& args) {
  OptionReader r("render", args);
  RenderJob job;
  std::string rulerText, cursorText;
  while (!r.done() && r.ok()) {
    const std::string a = r.next();
    auto integer = [&](int64_t lo, int64_t hi, auto& target) {
      if (auto n = r.integer(a, lo, hi)) target = static_cast<std::decay_t<decltype(target)>>(*n);
    };
    if (a == "-o" || a == "--output") {
      if (auto v = r.value(a)) job.output = *v;
    } else if (a == "--size") {
      if (auto v = r.value(a)) {
        const size_t x = v->find('x');
        auto w = parseInteger(v->substr(0, x), 1, 4096);
        auto h = x == std::string::npos ? w : parseInteger(v->substr(x + 1), 1, 4096);
        if (!w || !h)
          r.badValue(a, *v, "W or WxH, 1 to 4096 pixels each");
        else
          job.width = int32_t(*w), job.height = int32_t(*h);
      }
    } else if (a == "--range-index") {
      int32_t i = 0;
      integer(0, 14, i);
      job.rangeIndex = i;
    } else if (readViewOption(r, a, job.view)) {
    } else if (a == "--records") {
      if (auto n = r.integer(a, 1, INT64_MAX, "a number of records, 1 or more"))
        job.recordLimit = *n;
    } else if (a == "--overlays") {
      job.overlays.enabled = true;
    } else if (a == "--info") {
      job.overlays.info = true;
    } else if (a == "--compass") {
      job.overlays.compass = true;
    } else if (a == "--ruler") {
      if (auto v = r.value(a)) {
        rulerText = *v;
        job.overlays.ruler = parseIntegerList<4>(*v);
        if (!job.overlays.ruler) r.badValue(a, *v, "X1,Y1,X2,Y2 in pixels");
      }
    } else if (a == "--cursor") {
      if (auto v = r.value(a)) {
        cursorText = *v;
        job.overlays.cursor = parseIntegerList<2>(*v);
        if (!job.overlays.cursor) r.badValue(a, *v, "X,Y in pixels");
      }
    } else if (a.size() > 1 && a[0] == '-') {
      r.unknownOption(a);
    } else {
      job.files.push_back(a);
    }
  }
  const RenderOverlays& o = job.overlays;
  if (r.ok() && o.ruler &&
      !(insidePicture(job, (*o.ruler)[0], (*o.ruler)[1]) &&
        insidePicture(job, (*o.ruler)[2], (*o.ruler)[3]))) {
    r.badValue("--ruler", rulerText, pictureBounds(job));
  }
  if (r.ok() && o.cursor && !insidePicture(job, (*o.cursor)[0], (*o.cursor)[1])) {
    r.badValue("--cursor", cursorText, pictureBounds(job));
  }
  if (!r.ok()) return r.failure();
  if (job.files.empty()) {
    return fail("render", "no record file given", "usage: sk720 render FILE... -o OUT.png");
  }
  if (!o.enabled && (o.info || o.compass || o.ruler || o.cursor)) {
    return fail("render", "--info, --compass, --ruler and --cursor without --overlays",
                "they draw over the overlays; add --overlays");
  }
  // The compass overlays show only with the compass switched on, as in the program.
  if (o.compass) job.view.compassEnabled = 1;
  if (job.output.empty()) return fail("render", "no output given", "add -o OUT.png");
  for (const std::string& file : job.files) {
    const std::string why = unreadableReason(file, InputKind::RegularFile);
    if (!why.empty()) return fail("render", file, why);
  }
  if (const std::string why = unwritableReason(job.output); !why.empty()) {
    return fail("render", job.output, why);
  }

  std::string error;
  RenderResult result;
  ProgressLine progress("render", progressWanted());
  job.progress = &progress;
  const bool rendered = renderRecordFiles(job, result, &error);
  progress.finish();
  if (!rendered) return fail("render", error, {});
  std::printf("%s: %dx%d, %llu records, display range %g m, contrast level %d\n",
              job.output.c_str(), job.width, job.height, (unsigned long long)result.recordsUsed,
              result.displayRangeMm / 1000.0, result.contrastLevel);
  return 0;
}

}  // namespace sk720::cli
