#include "sk720/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "sk720/commands.h"

namespace sk720::cli {

int fail(const std::string& message) {
  std::fprintf(stderr, "sk720: %s\n", message.c_str());
  return 2;
}

std::optional<std::string> OptionReader::value(const std::string& option) {
  if (done()) {
    setError("option " + option + " needs a value");
    return std::nullopt;
  }
  return next();
}

std::optional<int64_t> parseInteger(const std::string& text, int64_t lo, int64_t hi) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
  if (v < lo || v > hi) return std::nullopt;
  return int64_t(v);
}

std::optional<double> parseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
  return v;
}

}  // namespace sk720::cli
