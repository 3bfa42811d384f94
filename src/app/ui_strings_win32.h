// The interface language and the program's own texts in it.
#pragma once

#include <windows.h>

#include <string>

namespace sk720 {

// Chooses the language of the menus, dialogs and strings loaded afterwards on
// the calling thread: Wine follows the thread locale, Windows the thread UI
// language, so both are set.
void selectInterfaceLanguage(LANGID language);

// The language chosen last; English until one is chosen.
LANGID interfaceLanguage();

// A string of the program's table in the chosen language, else whatever the
// system's own search finds (the neutral table). Empty when the identifier
// exists in no table.
std::wstring loadUiString(UINT id);

}  // namespace sk720
