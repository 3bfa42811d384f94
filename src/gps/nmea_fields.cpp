#include "gps/nmea_fields.h"

#include <charconv>

namespace sk720 {
namespace {

constexpr size_t kMaxNumberLength = 255;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Optional sign, digits, and for reals an optional fraction; at least one digit. Anything else
// (spaces, exponents, "nan") is not a field value.
bool wellFormed(std::string_view f, bool real) {
  size_t i = (f[0] == '+' || f[0] == '-') ? 1 : 0;
  size_t digits = 0;
  bool point = false;
  for (; i < f.size(); ++i) {
    if (isDigit(f[i])) {
      ++digits;
    } else if (real && f[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits > 0;
}

bool storeInteger(std::string_view f, int32_t& out) {
  if (f.size() > kMaxNumberLength) {
    out = 0;
    return true;
  }
  if (!wellFormed(f, false)) return false;
  if (f[0] == '+') f.remove_prefix(1);
  int32_t v = 0;
  const auto r = std::from_chars(f.data(), f.data() + f.size(), v);
  if (r.ec != std::errc() || r.ptr != f.data() + f.size()) return false;
  out = v;
  return true;
}

bool storeReal(std::string_view f, double& out) {
  if (f.size() > kMaxNumberLength) {
    out = 0.0;
    return true;
  }
  if (!wellFormed(f, true)) return false;
  // from_chars takes neither a plus sign nor a bare trailing or leading point everywhere; give it
  // the plain digits form.
  char text[kMaxNumberLength + 3];
  size_t n = 0;
  bool negative = false;
  size_t i = 0;
  if (f[0] == '+' || f[0] == '-') {
    negative = f[0] == '-';
    i = 1;
  }
  if (f[i] == '.') text[n++] = '0';
  for (; i < f.size(); ++i) text[n++] = f[i];
  if (text[n - 1] == '.') text[n++] = '0';
  double v = 0.0;
  const auto r = std::from_chars(text, text + n, v);
  if (r.ec != std::errc() || r.ptr != text + n) return false;
  out = negative ? -v : v;
  return true;
}

bool store(char conversion, std::string_view field, const FieldTarget& target) {
  switch (conversion) {
    case 's':
      if (auto p = std::get_if<std::string_view*>(&target)) {
        **p = field;
        return true;
      }
      return false;
    case 'C':
      if (auto p = std::get_if<char*>(&target); p && field.size() == 1) {
        **p = field[0];
        return true;
      }
      return false;
    case 'd':
      if (auto p = std::get_if<int32_t*>(&target)) return storeInteger(field, **p);
      return false;
    case 'f':
      if (auto p = std::get_if<double*>(&target)) return storeReal(field, **p);
      return false;
    default:
      return false;
  }
}

}  // namespace

int32_t scanFields(std::string_view text, std::string_view pattern,
                   std::span<const FieldTarget> targets) {
  size_t t = 0;
  size_t p = 0;
  int32_t reached = 0;
  while (p < pattern.size()) {
    if (pattern[p] != '%') {
      if (t >= text.size() || text[t] != pattern[p]) return reached;
      ++t;
      ++p;
      continue;
    }
    ++p;
    size_t width = 0;
    while (p < pattern.size() && isDigit(pattern[p]))
      width = width * 10 + size_t(pattern[p++] - '0');
    if (p >= pattern.size() || size_t(reached) >= targets.size()) return reached;
    const char conversion = pattern[p++];
    size_t end = t;
    while (end < text.size() && text[end] != ',' && text[end] != '*' &&
           (width == 0 || end - t < width)) {
      ++end;
    }
    const std::string_view field = text.substr(t, end - t);
    if (!field.empty() && !store(conversion, field, targets[size_t(reached)])) return reached;
    ++reached;
    t = end;
  }
  return reached;
}

}  // namespace sk720
