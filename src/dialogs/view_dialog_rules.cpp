#include "dialogs/view_dialog_rules.h"

#include <limits>

namespace sk720 {

ViewSettings viewDialogDefaults() {
  ViewSettings v;
  v.autoContrast = 1;
  v.contrast = 3;
  v.brightness = 9;
  return v;
}

int32_t parseOffsetField(std::u16string_view text, int32_t previous) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' ||
                             text[i] == u'\r' || text[i] == u'\v' || text[i] == u'\f')) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i >= text.size() || text[i] < u'0' || text[i] > u'9') return previous;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return previous;
  }
  if (negative) value = -value;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return previous;
  }
  return int32_t(value);
}

int32_t viewDialogTemplate(int32_t compassFieldsPresent, int32_t compassValid) {
  return compassFieldsPresent != 0 && compassValid != 0 ? kViewTemplateCompass : kViewTemplatePlain;
}

}  // namespace sk720
