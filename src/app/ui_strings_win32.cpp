#include "app/ui_strings_win32.h"

#include <atomic>

namespace sk720 {
namespace {

std::atomic<LANGID> chosenLanguage{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)};

// One entry of the string block of the given language, or nothing when that
// block or entry is missing. A string block holds 16 counted strings; a damaged
// one must not be read past its end.
bool tableEntry(HINSTANCE instance, UINT id, LANGID language, std::wstring &text) {
  HRSRC block = FindResourceExW(instance, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (block == nullptr) return false;
  HGLOBAL data = LoadResource(instance, block);
  const auto *p = data != nullptr ? static_cast<const WCHAR *>(LockResource(data)) : nullptr;
  if (p == nullptr) return false;
  const WCHAR *end = p + SizeofResource(instance, block) / sizeof(WCHAR);
  for (UINT i = 0; i < id % 16 && p < end; ++i) p += 1 + *p;
  if (p >= end || *p == 0 || *p > end - p - 1) return false;
  text.assign(p + 1, *p);
  return true;
}

}  // namespace

void selectInterfaceLanguage(LANGID language) {
  chosenLanguage.store(language, std::memory_order_relaxed);
  SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
  SetThreadUILanguage(language);
}

LANGID interfaceLanguage() { return chosenLanguage.load(std::memory_order_relaxed); }

std::wstring loadUiString(UINT id) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  // Asked for no language in particular, Wine takes the neutral table before
  // the thread's language, so the chosen language's block is looked up by name
  // first.
  std::wstring text;
  if (tableEntry(instance, id, interfaceLanguage(), text)) return text;
  const wchar_t *found = nullptr;
  const int length = LoadStringW(instance, id, reinterpret_cast<LPWSTR>(&found), 0);
  return length > 0 ? std::wstring(found, static_cast<size_t>(length)) : std::wstring();
}

}  // namespace sk720
