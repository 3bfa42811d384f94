#pragma once
// The echo trace strip ("WOscClass"): the newest echo line as an amplitude
// trace.
#include <windows.h>

namespace sk720 {

extern const wchar_t kEchoTraceClass[];
bool registerEchoTraceClass(HINSTANCE instance);

} // namespace sk720
