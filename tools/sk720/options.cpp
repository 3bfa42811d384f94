#include "sk720/options.h"

#include <initializer_list>

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

bool readViewOption(OptionReader& r, const std::string& a, ViewSettings& view) {
  auto integer = [&](int64_t lo, int64_t hi, int32_t& target) {
    if (auto n = r.integer(a, lo, hi)) target = int32_t(*n);
  };
  auto choice = [&](std::initializer_list<const char*> names, const std::string& allowed,
                    int32_t& target) {
    const auto v = r.value(a);
    if (!v) return;
    int32_t i = 0;
    for (const char* name : names) {
      if (*v == name) {
        target = i;
        return;
      }
      ++i;
    }
    r.badValue(a, *v, allowed);
  };
  if (a == "--zero-offset") {
    integer(-3600, 3600, view.zeroOffset);
  } else if (a == "--palette") {
    choice({"brown", "rainbow", "default"}, "brown, rainbow or default", view.palette);
  } else if (a == "--contrast") {
    if (auto v = r.value(a)) {
      if (*v == "auto")
        view.autoContrast = 1;
      else if (auto n = parseInteger(*v, 1, 10))
        view.autoContrast = 0, view.contrast = int32_t(*n);
      else
        r.badValue(a, *v, "1 to 10 or auto");
    }
  } else if (a == "--brightness") {
    integer(0, 19, view.brightness);
  } else if (a == "--curve") {
    choice({"log", "linear"}, "linear or log", view.linear);
  } else if (a == "--gain-index") {
    integer(0, 8, view.gainIndex);
  } else if (a == "--dead-zone-index") {
    integer(0, 5, view.deadZoneIndex);
  } else {
    return false;
  }
  return true;
}

}  // namespace sk720::cli
