#include "sk720/video_encoder.h"

namespace sk720::cli {

// The Windows console companion links no video libraries.
bool videoEncodingAvailable() { return false; }

std::unique_ptr<VideoEncoder> openVideoEncoder(const std::string&, const VideoFormat&,
                                               std::string* error) {
  if (error) *error = "not in this build: videos are made by the native build of sk720";
  return nullptr;
}

}  // namespace sk720::cli
