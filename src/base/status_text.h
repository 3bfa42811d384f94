#pragma once
// The one-line status shown at the top of the information strip: written by the working and
// playback threads, read by the paint. A text, so it is copied under a lock rather than shared.
#include <mutex>
#include <string>

#include "base/utf16.h"

namespace sk720 {

class StatusText {
 public:
  static constexpr size_t kMaxChars = 255;  // UTF-16 units, as the window's buffer holds them
  void set(std::string text) {
    text.resize(utf16Prefix(text, kMaxChars).size());
    std::lock_guard<std::mutex> g(lock_);
    text_ = std::move(text);
  }
  std::string get() const {
    std::lock_guard<std::mutex> g(lock_);
    return text_;
  }

 private:
  mutable std::mutex lock_;
  std::string text_;
};

}  // namespace sk720
