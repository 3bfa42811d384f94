#include "link/com_port.h"

#include <algorithm>

namespace sk720 {

bool isComPortText(std::u16string_view text) {
  if (text.size() < 3) return false;
  const char16_t want[3] = {u'C', u'O', u'M'};
  for (int i = 0; i < 3; ++i) {
    char16_t c = text[size_t(i)];
    if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    if (c != want[i]) return false;
  }
  return true;
}

uint32_t comPortNumberFromText(std::u16string_view text) {
  uint32_t n = 0;
  for (size_t i = 3; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (n > 100000000u) return 0;  // absurd numbers are not ports
    n = n * 10 + uint32_t(text[i] - u'0');
  }
  return n;
}

void setComPortName(ComPortEntry& entry, std::u16string_view text) {
  const size_t n = std::min<size_t>(text.size(), 255);
  std::copy_n(text.begin(), n, entry.name);
  std::fill(entry.name + n, entry.name + 256, u'\0');
}

void setComPortName(ComPortEntry& entry, std::string_view ascii) {
  std::u16string wide(ascii.begin(), ascii.end());
  setComPortName(entry, wide);
}

std::string comPortNameUtf8(const ComPortEntry& entry) {
  std::string out;
  for (size_t i = 0; i < 256 && entry.name[i]; ++i) {
    out += entry.name[i] < 0x80 ? char(entry.name[i]) : '?';
  }
  return out;
}

void sortComPorts(ComPortEntry* table) {
  int32_t n = 0;
  while (n < kComPortTableSize && table[n].portNumber != 0) ++n;
  std::sort(table, table + n, [](const ComPortEntry& a, const ComPortEntry& b) {
    return a.portNumber < b.portNumber;
  });
}

}  // namespace sk720
