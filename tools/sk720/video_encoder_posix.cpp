#include "sk720/video_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace sk720::cli {

namespace {

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

class FfmpegEncoder : public VideoEncoder {
 public:
  ~FfmpegEncoder() override {
    sws_freeContext(scaler_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    if (format_ && format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
  }

  bool open(const std::string& path, const VideoFormat& f, std::string* error) {
    av_log_set_level(AV_LOG_ERROR);  // the coder's statistics would clutter the terminal
    auto failed = [&](const std::string& what, int code) {
      if (error) *error = code ? what + ": " + avError(code) : what;
      return false;
    };
    int r = avformat_alloc_output_context2(&format_, nullptr, "mp4", path.c_str());
    if (r < 0 || !format_) return failed("no MP4 writer in the video libraries", r);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    if (!codec) return failed("no H.264 coder in the video libraries", 0);
    stream_ = avformat_new_stream(format_, nullptr);
    codec_ = avcodec_alloc_context3(codec);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!stream_ || !codec_ || !packet_ || !frame_) return failed("out of memory", 0);

    codec_->width = f.width;
    codec_->height = f.height;
    codec_->time_base = AVRational{1, f.fps};
    codec_->framerate = AVRational{f.fps, 1};
    codec_->pix_fmt = AV_PIX_FMT_YUV420P;
    // A key frame every two seconds keeps seeking in players quick; the pictures change little
    // between them, so the cost is small.
    codec_->gop_size = 2 * f.fps;
    codec_->color_range = AVCOL_RANGE_MPEG;
    codec_->colorspace = AVCOL_SPC_BT709;
    codec_->color_primaries = AVCOL_PRI_BT709;
    codec_->color_trc = AVCOL_TRC_BT709;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(codec_->priv_data, "preset", "veryfast", 0);
    av_opt_set(codec_->priv_data, "crf", std::to_string(f.quality).c_str(), 0);
    if ((r = avcodec_open2(codec_, codec, nullptr)) < 0) return failed("cannot start the coder", r);
    if ((r = avcodec_parameters_from_context(stream_->codecpar, codec_)) < 0)
      return failed("cannot describe the stream", r);
    stream_->time_base = codec_->time_base;

    if ((r = avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
      return failed(avError(r), 0);
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);  // playable while it downloads
    r = avformat_write_header(format_, &options);
    av_dict_free(&options);
    if (r < 0) return failed("cannot write " + path, r);

    frame_->format = codec_->pix_fmt;
    frame_->width = f.width;
    frame_->height = f.height;
    if ((r = av_frame_get_buffer(frame_, 0)) < 0) return failed("out of memory", r);
    // BGRX in memory order is FFmpeg's BGR0.
    scaler_ = sws_getContext(f.width, f.height, AV_PIX_FMT_BGR0, f.width, f.height,
                             AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler_) return failed("cannot convert the pixels", 0);
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(scaler_, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    path_ = path;
    return true;
  }

  bool addFrame(const uint32_t* bgrx, int32_t stridePixels, std::string* error) override {
    int r = av_frame_make_writable(frame_);
    if (r < 0) return fail("out of memory", r, error);
    const uint8_t* planes[1] = {reinterpret_cast<const uint8_t*>(bgrx)};
    const int strides[1] = {stridePixels * 4};
    sws_scale(scaler_, planes, strides, 0, codec_->height, frame_->data, frame_->linesize);
    frame_->pts = next_++;
    if ((r = avcodec_send_frame(codec_, frame_)) < 0) return fail("cannot code a frame", r, error);
    return drain(error);
  }

  bool finish(std::string* error) override {
    const int r = avcodec_send_frame(codec_, nullptr);
    if (r < 0) return fail("cannot code the last frames", r, error);
    if (!drain(error)) return false;
    int w = av_write_trailer(format_);
    if (w < 0) return fail("cannot complete " + path_, w, error);
    w = avio_closep(&format_->pb);
    if (w < 0) return fail("cannot close " + path_, w, error);
    return true;
  }

 private:
  static bool fail(const std::string& what, int code, std::string* error) {
    if (error) *error = what + ": " + avError(code);
    return false;
  }

  bool drain(std::string* error) {
    for (;;) {
      int r = avcodec_receive_packet(codec_, packet_);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
      if (r < 0) return fail("cannot code a frame", r, error);
      av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
      packet_->stream_index = stream_->index;
      r = av_interleaved_write_frame(format_, packet_);  // takes the packet's data
      if (r < 0) return fail("cannot write " + path_, r, error);
    }
  }

  AVFormatContext* format_ = nullptr;
  AVStream* stream_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwsContext* scaler_ = nullptr;
  int64_t next_ = 0;
  std::string path_;
};

}  // namespace

bool videoEncodingAvailable() { return true; }

std::unique_ptr<VideoEncoder> openVideoEncoder(const std::string& path, const VideoFormat& format,
                                               std::string* error) {
  auto encoder = std::make_unique<FfmpegEncoder>();
  if (!encoder->open(path, format, error)) return nullptr;
  return encoder;
}

}  // namespace sk720::cli
