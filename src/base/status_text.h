#pragma once
// The one-line status shown at the top of the information strip: written by the working and
// playback threads, read by the paint. A text, so it is copied under a lock rather than shared.
#include <mutex>
#include <string>

namespace sk720 {

class StatusText {
 public:
  static constexpr size_t kMaxChars = 255;
  void set(std::string text) {
    if (text.size() > kMaxChars) text.resize(kMaxChars);
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
