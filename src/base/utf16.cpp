#include "base/utf16.h"

#include <cstdint>

namespace sk720 {

namespace {

// The code point of the UTF-8 sequence at s[i] and its byte length; an invalid byte decodes to
// U+FFFD on its own, so that decoding resynchronises on the next byte.
uint32_t decodeAt(std::string_view s, size_t i, size_t& len) {
  const uint8_t c = uint8_t(s[i]);
  len = 1;
  if (c < 0x80) return c;
  if ((c & 0xE0) == 0xC0) {
    len = 2;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4;
  } else {
    return 0xFFFD;
  }
  bool ok = i + len <= s.size();
  uint32_t v = c & (0x7F >> len);
  for (size_t k = 1; ok && k < len; ++k) {
    const uint8_t t = uint8_t(s[i + k]);
    ok = (t & 0xC0) == 0x80;
    v = (v << 6) | (t & 0x3F);
  }
  static const uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (ok && v >= kMin[len] && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) return v;
  len = 1;
  return 0xFFFD;
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t len = 0;
  for (size_t i = 0; i < s.size(); i += len) {
    uint32_t cp = decodeAt(s, i, len);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return out;
}

size_t utf16Length(std::string_view s) {
  size_t units = 0;
  size_t len = 0;
  for (size_t i = 0; i < s.size(); i += len) units += decodeAt(s, i, len) >= 0x10000 ? 2 : 1;
  return units;
}

std::string_view utf16Prefix(std::string_view s, size_t maxUnits) {
  size_t units = 0;
  size_t len = 0;
  size_t i = 0;
  for (; i < s.size(); i += len) {
    const size_t n = decodeAt(s, i, len) >= 0x10000 ? 2 : 1;
    if (units + n > maxUnits) break;
    units += n;
  }
  return s.substr(0, i);
}

std::string utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(char(cp));
    } else if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(char(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::filesystem::path pathFromUtf8(std::string_view s) {
  return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

std::string pathToUtf8(const std::filesystem::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

}  // namespace sk720
