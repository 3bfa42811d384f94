#pragma once
// Value rules of the view settings dialog: its own defaults and the offset
// field's parse.
#include <cstdint>
#include <string_view>

#include "scan/view_settings.h"

namespace sk720 {

// The dialog's own set, used when the stored record cannot be read on opening
// (automatic contrast on, contrast 3, brightness 9; otherwise as at start-up).
ViewSettings viewDialogDefaults();

// The offset field read like "%d": leading blanks, a sign and digits. Text that
// does not begin with a number, or a number outside 32 bits, keeps the previous
// value.
int32_t parseOffsetField(std::u16string_view text, int32_t previous);

// Which template to open: with compass data (both flags set) the one with the
// compass group.
constexpr int32_t kViewTemplateCompass = 108;
constexpr int32_t kViewTemplatePlain = 131;
int32_t viewDialogTemplate(int32_t compassFieldsPresent, int32_t compassValid);

}  // namespace sk720
