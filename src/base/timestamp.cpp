#include "base/timestamp.h"

#include <cstdio>

namespace sk720 {

std::string FormatTimestamp(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d_%02d%02d%02d", t.tm_year + 1900, t.tm_mon + 1,
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

std::string FormatTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  // std::localtime shares one buffer between threads; each runtime has its own reentrant form.
#if defined(_WIN32)
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return FormatTimestamp(local);
}

}  // namespace sk720
