#include "sk720/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "sk720/commands.h"

namespace sk720::cli {

std::optional<std::string> OptionReader::value(const std::string& option) {
  if (done()) {
    setError(option + " without its value", "sk720 " + command_ + " --help shows what it takes");
    return std::nullopt;
  }
  return next();
}

std::optional<int64_t> OptionReader::integer(const std::string& option, int64_t lo, int64_t hi,
                                             const std::string& allowed) {
  const auto v = value(option);
  if (!v) return std::nullopt;
  const auto n = parseInteger(*v, lo, hi);
  if (!n) {
    badValue(option, *v,
             allowed.empty() ? "an integer from " + std::to_string(lo) + " to " + std::to_string(hi)
                             : allowed);
  }
  return n;
}

std::optional<double> OptionReader::number(const std::string& option, double lo, double hi,
                                           const std::string& allowed) {
  const auto v = value(option);
  if (!v) return std::nullopt;
  const auto n = parseNumber(*v);
  if (!n || !std::isfinite(*n) || *n < lo || *n > hi) {
    badValue(option, *v, allowed);
    return std::nullopt;
  }
  return n;
}

void OptionReader::setError(const std::string& what, const std::string& reason) {
  if (!what_.empty()) return;
  what_ = what;
  reason_ = reason;
}

void OptionReader::badValue(const std::string& option, const std::string& value,
                            const std::string& allowed) {
  setError("bad " + option + " '" + value + "'", "it takes " + allowed);
}

void OptionReader::unknownOption(const std::string& option) {
  setError("unknown option " + option, "sk720 " + command_ + " --help lists the options");
}

int OptionReader::failure() const { return fail(command_, what_, reason_); }

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
