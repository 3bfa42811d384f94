#pragma once
// The Windows layer's one crossing between the core's UTF-8 texts and paths and the wide
// strings of the system's calls. Everything above the system calls keeps UTF-8.
#include <string>
#include <string_view>

namespace sk720 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view text);

}  // namespace sk720
