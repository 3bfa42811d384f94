#pragma once
// H.264 in MP4 from 32-bit BGRX frames (FFmpeg's libraries, native builds only).
#include <cstdint>
#include <memory>
#include <string>

namespace sk720::cli {

struct VideoFormat {
  int32_t width = 1280, height = 720;  // even
  int32_t fps = 25;
  // Constant quality: 18 looks like the screen, each +6 about halves the size.
  int32_t quality = 20;
};

class VideoEncoder {
 public:
  virtual ~VideoEncoder() = default;
  // The next frame, width x height pixels stridePixels apart.
  virtual bool addFrame(const uint32_t* bgrx, int32_t stridePixels, std::string* error) = 0;
  // Drains the coder and completes the file (the index moved to the front); false on failure.
  virtual bool finish(std::string* error) = 0;
};

// False in a build without the video libraries.
bool videoEncodingAvailable();

// Creates path (always in MP4, whatever its name); nullptr with a reason on failure.
std::unique_ptr<VideoEncoder> openVideoEncoder(const std::string& path, const VideoFormat& format,
                                               std::string* error);

}  // namespace sk720::cli
