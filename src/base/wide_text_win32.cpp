#include "base/wide_text_win32.h"

#include "base/utf16.h"

namespace sk720 {

// wchar_t is one UTF-16 unit on Windows, so the portable conversions serve both directions.
std::wstring widen(std::string_view utf8) {
  const std::u16string w = utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

std::string narrow(std::wstring_view text) {
  return utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

}  // namespace sk720
