// Texts wider than their controls (long translations in fixed toolbar places) are drawn with a
// horizontally condensed face of the control's font rather than cut off.
#pragma once

#include <windows.h>

#include <vector>

namespace sk720 {

// Every child of `parent` whose text (a combo box: its widest item) does not fit gets a
// condensed copy of `font`, no narrower than three quarters of it. The fonts made are appended
// to `made`; the caller deletes them when the window goes.
void condenseTextsThatDoNotFit(HWND parent, HFONT font, std::vector<HFONT>& made);

}  // namespace sk720
