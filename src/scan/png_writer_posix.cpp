#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "scan/png_writer.h"

namespace sk720 {

namespace {

// libpng would print its own line on stderr and abort; the caller reports the failure instead.
struct PngFailure {
  std::string message;
  int savedErrno = 0;
};

void onPngError(png_structp png, png_const_charp message) {
  auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
  failure->message = message ? message : "";
  failure->savedErrno = errno;
  png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

// Both forms share the encoder; channels is 3 (RGB, alpha ignored) or 4 (RGBA).
bool writePng(const std::string& path, const uint32_t* pixels, int width, int height,
              int stridePixels, int channels, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  PngFailure failure;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    if (error) *error = "out of memory for the PNG encoder";
    return false;
  }
  std::vector<uint8_t> row(size_t(width) * size_t(channels));
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    if (error) {
      *error = "cannot write " + path + ": " +
               (failure.savedErrno != 0 ? std::strerror(failure.savedErrno) : failure.message);
    }
    return false;
  }
  errno = 0;  // the write error reports the reason of the first failed write
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8,
               channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (channels == 4) {
    // Map layers come many at a time: the fastest compression and one filter for every row
    // spend a fifth of the default's time for files a little larger.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  }
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const uint32_t* src = pixels + size_t(y) * size_t(stridePixels);
    uint8_t* dst = row.data();
    for (int x = 0; x < width; ++x, dst += channels) {
      dst[0] = uint8_t(src[x] >> 16);  // red
      dst[1] = uint8_t(src[x] >> 8);   // green
      dst[2] = uint8_t(src[x]);        // blue
      if (channels == 4) dst[3] = uint8_t(src[x] >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(f) != 0) {
    if (error) *error = "cannot finish " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

bool writePngBgrx(const std::string& path, const uint32_t* pixels, int width, int height,
                  int stridePixels, std::string* error) {
  return writePng(path, pixels, width, height, stridePixels, 3, error);
}

bool writePngArgb(const std::string& path, const uint32_t* pixels, int width, int height,
                  int stridePixels, std::string* error) {
  return writePng(path, pixels, width, height, stridePixels, 4, error);
}

}  // namespace sk720
