#include "sk720/video_job.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "base/clock.h"
#include "base/status_text.h"
#include "base/utf16.h"
#include "records/ping_record.h"
#include "records/playback.h"
#include "scan/overlay_frame.h"
#include "scan/scan_paint.h"
#include "sk720/overlay_paint.h"
#include "sk720/record_walk.h"
#include "sk720/video_encoder.h"
#include "views/scan_interaction.h"

namespace sk720::cli {

namespace {

using SteadyClock = std::chrono::steady_clock;

int64_t nanosSince(SteadyClock::time_point start) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(SteadyClock::now() - start).count();
}

std::string minutesText(int64_t ticks) {
  const int64_t s = ticks / kTicksPerSecond;
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(s / 60),
                static_cast<long long>(s % 60));
  return text;
}

bool sameList(const OverlayList& a, const OverlayList& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

// A layer drawn on black and OR-combined into the frame, as the scan view combines the strip and
// the dial; drawn again only when its list changes.
struct OrLayer {
  OverlayList list;
  std::vector<uint32_t> pixels;
  int32_t width = 0, height = 0;

  bool draw(uint32_t* frame, int32_t frameWidth, int32_t frameHeight, int32_t x, int32_t y,
            int32_t w, int32_t h, const OverlayList& next, std::string* error) {
    if (pixels.empty() || w != width || h != height || !sameList(next, list)) {
      width = w, height = h;
      pixels.assign(size_t(w) * size_t(h), 0);
      list.clear();
      for (const OverlayPrimitive& p : next) list.push(p);
      if (!paintOverlayList(pixels.data(), w, h, w, list, error)) return false;
    }
    for (int32_t row = std::max(0, -y); row < h && y + row < frameHeight; ++row) {
      const int32_t first = std::max(0, -x), last = std::min(w, frameWidth - x);
      uint32_t* dst = frame + size_t(y + row) * size_t(frameWidth) + x;
      const uint32_t* src = pixels.data() + size_t(row) * size_t(w);
      for (int32_t col = first; col < last; ++col) dst[col] |= src[col];
    }
    return true;
  }
};

// The rings, spokes and compass marks: they seldom change, so they are drawn once on black and
// once on white, which gives each pixel's coverage, and blended into every frame from a list of
// the pixels they touch. The pointer is drawn over them each frame, as the scan view does.
struct BlendLayer {
  OverlayList list;
  int32_t width = 0, height = 0, originX = 0, originY = 0;
  std::vector<uint32_t> index, colour;  // colour: the primitives' share, already weighted
  std::vector<uint8_t> alpha;           // coverage, 0..255

  bool draw(uint32_t* frame, int32_t w, int32_t h, int32_t ox, int32_t oy, const OverlayList& next,
            std::string* error) {
    if (w != width || h != height || ox != originX || oy != originY || !sameList(next, list)) {
      if (!build(w, h, ox, oy, next, error)) return false;
    }
    for (size_t k = 0; k < index.size(); ++k) {
      const uint32_t keep = 255u - alpha[k], under = frame[index[k]];
      uint32_t out = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const uint32_t c = ((under >> shift) & 255u) * keep / 255u + ((colour[k] >> shift) & 255u);
        out |= std::min(c, 255u) << shift;
      }
      frame[index[k]] = out;
    }
    return true;
  }

 private:
  bool build(int32_t w, int32_t h, int32_t ox, int32_t oy, const OverlayList& next,
             std::string* error) {
    width = w, height = h, originX = ox, originY = oy;
    list.clear();
    for (const OverlayPrimitive& p : next) list.push(p);
    index.clear(), colour.clear(), alpha.clear();
    std::vector<uint32_t> black(size_t(w) * size_t(h), 0), white(black.size(), 0xFFFFFFu);
    if (!paintOverlayList(black.data(), w, h, w, list, error, ox, oy) ||
        !paintOverlayList(white.data(), w, h, w, list, error, ox, oy)) {
      list.clear();
      return false;
    }
    for (size_t i = 0; i < black.size(); ++i) {
      const uint32_t b = black[i] & 0xFFFFFFu, wh = white[i] & 0xFFFFFFu;
      if (b == 0 && wh == 0xFFFFFFu) continue;
      // White shows through by 1 - coverage: the green channel gives it.
      const uint32_t shown = ((wh >> 8) & 255u) - std::min((wh >> 8) & 255u, (b >> 8) & 255u);
      index.push_back(uint32_t(i));
      colour.push_back(b);
      alpha.push_back(uint8_t(255u - shown));
    }
    return true;
  }
};

// The scan view's side of playback: it paces the loop on played time instead of waiting, and
// paints a frame whenever played time passes a frame's moment.
class FrameMaker : public PlaybackPacer, public PlaybackObserver {
 public:
  FrameMaker(const VideoJob& job, FrameSink& sink, VideoStats& stats, PlaybackContext& ctx)
      : job_(job), sink_(sink), stats_(stats), ctx_(ctx) {
    if (job.toTicks) limit_ = *job.toTicks;
    overlayView_ = job.view;
    overlayView_.showInfo = job.info ? 1 : 0;
    frame_.resize(size_t(job.width) * size_t(job.height));
  }

  void fileStarted(uint32_t) override { rebuildPending_ = true; }
  void positionReport(const PlaybackReport&) override {}

  // Called before each record is fed: the frames due before it are taken now.
  void wait(int64_t ticks) override {
    if (stopping_) return;
    if (job_.interrupt && job_.interrupt->load(std::memory_order_relaxed)) {
      stats_.interrupted = true;
      stop();
      return;
    }
    ++waits_;
    // A turn marked by the first record is where the recording began, not a completed turn.
    if (shared().turnCompleted.exchange(0) == 1 && waits_ > 2 && job_.turns > 0 &&
        ++turns_ >= job_.turns) {
      limit_ = std::min(limit_, played_ - 1);
    }
    if (!takeFramesUpTo(std::min(limit_, played_ + ticks - 1))) return;
    if (played_ + ticks > limit_) {
      stop();
      return;
    }
    played_ += ticks;
    stats_.playedTicks = played_;
    ++stats_.records;
  }

  // After the loop: the frames from the last record to the end of the clip.
  bool finish() {
    if (!stopping_) takeFramesUpTo(std::min(limit_, played_));
    return !failed_;
  }

 private:
  ScanInputs& shared() { return ctx_.shared; }

  int64_t frameTicks(uint64_t i) const {
    return job_.fromTicks + int64_t(i) * kTicksPerSecond / job_.fps;
  }

  void stop() {
    stopping_ = true;
    ctx_.stopRequest.store(true);
  }

  bool takeFramesUpTo(int64_t t) {
    while (!failed_ && frameTicks(stats_.frames) <= t) {
      if (!makeFrame(frameTicks(stats_.frames))) {
        failed_ = true;
        stop();
        return false;
      }
      ++stats_.frames;
      if (job_.progress) {
        const double real = std::chrono::duration<double>(SteadyClock::now() - started_).count();
        char extra[96];
        std::snprintf(extra, sizeof extra, "frame %llu, played %s of %s, x%.1f real time",
                      static_cast<unsigned long long>(stats_.frames), minutesText(t).c_str(),
                      minutesText(stats_.totalTicks).c_str(),
                      real > 0 ? double(t - job_.fromTicks) / kTicksPerSecond / real : 0.0);
        job_.progress->update(stats_.records, 0, extra);
      }
    }
    return true;
  }

  void rebuild() {
    rebuildPending_ = false;
    image_.displayRangeIndex =
        job_.rangeIndex ? *job_.rangeIndex : rangeIndexOf(shared().currentRangeMm.load());
    shared().compassEnabled.store(job_.view.compassEnabled);
    shared().zeroAlwaysUp.store(job_.view.zeroAlwaysUp);
    rebuildScanGeometry(image_, ctx_.store, job_.view, shared(), job_.width, job_.height);
    canvas_.assign(size_t(image_.imageSize) * size_t(image_.imageSize), 0);
    freshCanvas_ = true;
  }

  bool makeFrame(int64_t t) {
    const auto paintStart = SteadyClock::now();
    const uint32_t nowMs = uint32_t(t / 10000);
    if (rebuildPending_ || image_.imageSize == 0) rebuild();
    paintScanImage(image_, ctx_.store, job_.view, shared(), nowMs, canvas_.data(), freshCanvas_);
    freshCanvas_ = false;
    const int32_t w = job_.width, h = job_.height, size = image_.imageSize;
    const int32_t offX = clientOffsetX(w, h), offY = clientOffsetY(w, h);
    for (int32_t y = 0; y < h; ++y) {
      const uint32_t* src = canvas_.data() + size_t(y + offY) * size_t(size) + size_t(offX);
      std::copy(src, src + w, frame_.begin() + ptrdiff_t(size_t(y) * size_t(w)));
    }
    stats_.timings.paintNs += nanosSince(paintStart);

    if (job_.overlays) {
      const auto overlayStart = SteadyClock::now();
      if (!drawOverlays(nowMs, offX, offY)) return false;
      stats_.timings.overlayNs += nanosSince(overlayStart);
    }

    const auto encodeStart = SteadyClock::now();
    if (!sink_.frame(frame_.data(), w, t, &error_)) return false;
    stats_.timings.encodeNs += nanosSince(encodeStart);
    return true;
  }

  bool drawOverlays(uint32_t nowMs, int32_t offX, int32_t offY) {
    const int32_t w = job_.width, h = job_.height;
    OverlayInput in;
    fillOverlayInput(in, image_, ui_, overlayView_, shared(), ctx_.store, ctx_.gps, w, h);
    in.cursorInside = 0;   // no mouse over a video
    in.statusVisible = 1;  // the playback thread runs while these pictures show
    in.statusText = ctx_.statusText.get();
    const OverlayFrame& f = buildOverlayFrame(overlays_, in, nowMs);
    staticPart_.clear();
    movingPart_.clear();
    for (size_t i = 0; i < f.canvas.size(); ++i) {
      const bool moving = (i >= f.pointerBegin && i < f.pointerEnd) || i >= f.rulerBegin;
      (moving ? movingPart_ : staticPart_).push(f.canvas[i]);
    }
    if (!marks_.draw(frame_.data(), w, h, offX, offY, staticPart_, &error_)) return false;
    if (!movingPart_.empty() &&
        !paintOverlayList(frame_.data(), w, h, w, movingPart_, &error_, offX, offY)) {
      return false;
    }
    if (f.dialVisible && !dial_.draw(frame_.data(), w, h, f.dialX, f.dialY, f.dialWidth,
                                     f.dialHeight, f.dial, &error_)) {
      return false;
    }
    return strip_.draw(frame_.data(), w, h, 0, 0, w, std::min(100, h), f.strip, &error_);
  }

 public:
  const std::string& error() const { return error_; }

 private:
  const VideoJob& job_;
  FrameSink& sink_;
  VideoStats& stats_;
  PlaybackContext& ctx_;
  ViewSettings overlayView_;
  ScanImage image_;
  ScanInteraction ui_;
  OverlayState overlays_;
  OrLayer strip_, dial_;
  BlendLayer marks_;
  OverlayList staticPart_, movingPart_;
  std::vector<uint32_t> canvas_, frame_;
  bool freshCanvas_ = true, rebuildPending_ = true;
  int64_t played_ = 0;
  int64_t limit_ = std::numeric_limits<int64_t>::max();
  uint64_t waits_ = 0;
  int32_t turns_ = 0;
  bool stopping_ = false, failed_ = false;
  std::string error_;
  SteadyClock::time_point started_ = SteadyClock::now();
};

class EncoderSink : public FrameSink {
 public:
  explicit EncoderSink(VideoEncoder& encoder) : encoder_(encoder) {}
  bool frame(const uint32_t* pixels, int32_t stridePixels, int64_t, std::string* error) override {
    return encoder_.addFrame(pixels, stridePixels, error);
  }

 private:
  VideoEncoder& encoder_;
};

}  // namespace

int64_t recordTicks(int32_t speed) {
  return int64_t(kDefaultIntervalTicks) * 100000 / std::max(1, speed);
}

bool countPlayableRecords(const std::vector<std::string>& files, uint64_t& records,
                          std::string* error) {
  records = 0;
  for (const std::string& path : files) {
    uint64_t valid = 0;
    if (!walkRecordFile(
            path,
            [&](int32_t r, const uint8_t*, uint64_t) {
              if (r == kRecordEnd0 || r == kRecordEnd1) ++valid;
              return true;
            },
            error)) {
      if (error) *error = "cannot open " + path + ": " + *error;
      return false;
    }
    if (valid == 0) {
      if (error) *error = "cannot play " + path + ": it holds no valid record";
      return false;
    }
    records += valid;
  }
  return true;
}

bool playIntoFrames(const VideoJob& job, FrameSink& sink, VideoStats& stats, std::string* error) {
  std::vector<std::unique_ptr<RecordFileSource>> files;
  PlaybackJob playback;
  for (const std::string& path : job.files) {
    files.push_back(std::make_unique<RecordFileSource>(true));
    if (!files.back()->open(path)) {
      if (error) *error = "cannot open " + path;
      return false;
    }
    playback.files.push_back(files.back().get());
  }
  auto store = std::make_unique<LineStore>();
  ScanInputs shared;
  GpsFix gps;
  StatusText status;
  ManualClock clock;  // the loop's own waits (file starts, end hunts) take no played time
  FrameMaker* maker = nullptr;
  // The context needs its pacer first; the maker needs the context.
  struct Forward : PlaybackPacer {
    FrameMaker** to;
    explicit Forward(FrameMaker** t) : to(t) {}
    void wait(int64_t ticks) override { (*to)->wait(ticks); }
  } pacer(&maker);
  PlaybackContext ctx(*store, shared, gps, status, clock, pacer);
  ctx.playbackSpeed.store(job.speed);
  ctx.playbackContinuously.store(0);
  ctx.setViewSettings(job.view);
  FrameMaker frames(job, sink, stats, ctx);
  maker = &frames;
  ctx.observer = &frames;

  const PlaybackEnd end = runPlayback(playback, ctx);
  const bool ok = frames.finish();
  for (auto& f : files) f->close();
  if (job.overlays) releaseOverlayFonts();
  if (!ok) {
    if (error) *error = frames.error();
    return false;
  }
  if (end == PlaybackEnd::ReadFailed) {
    if (error) *error = "a recording could not be read to its end";
    return false;
  }
  return true;
}

bool makeVideo(const VideoJob& job, VideoStats& stats, std::string* error) {
  namespace fs = std::filesystem;
  const fs::path out = pathFromUtf8(job.output);
  std::error_code ec;
  if (fs::is_directory(out, ec)) {
    if (error) *error = "cannot write " + job.output + ": it is a folder";
    return false;
  }
  // Coded beside the output and moved into place when complete, so that no half-written video
  // is ever found under the output's name.
  const std::string partPath = job.output + ".part";
  std::string reason;
  std::unique_ptr<VideoEncoder> encoder =
      openVideoEncoder(partPath, VideoFormat{job.width, job.height, job.fps}, &reason);
  if (!encoder) {
    fs::remove(pathFromUtf8(partPath), ec);
    if (error) *error = "cannot write " + job.output + ": " + reason;
    return false;
  }
  auto discard = [&](const std::string& why) {
    encoder.reset();
    fs::remove(pathFromUtf8(partPath), ec);
    if (error) *error = why;
    return false;
  };

  uint64_t records = 0;
  if (!countPlayableRecords(job.files, records, &reason)) return discard(reason);
  stats.totalTicks = int64_t(records) * recordTicks(job.speed);
  if (job.fromTicks > stats.totalTicks) {
    char text[160];
    std::snprintf(
        text, sizeof text,
        "bad --from: %.2f s lies past the end of the recordings, which play %.2f s at x%d",
        double(job.fromTicks) / kTicksPerSecond, double(stats.totalTicks) / kTicksPerSecond,
        job.speed);
    return discard(text);
  }

  EncoderSink sink(*encoder);
  if (!playIntoFrames(job, sink, stats, &reason)) return discard(reason);
  if (stats.frames == 0) return discard("interrupted before the first frame: nothing written");
  if (!encoder->finish(&reason)) return discard(reason);
  encoder.reset();
  fs::rename(pathFromUtf8(partPath), out, ec);
  if (ec) return discard("cannot write " + job.output + ": " + ec.message());
  return true;
}

}  // namespace sk720::cli
