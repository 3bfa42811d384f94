#pragma once
// UTF-8 <-> UTF-16 for texts that are kept as UTF-16 outside the process (settings strings,
// Windows paths). Invalid input becomes U+FFFD rather than failing.
#include <filesystem>
#include <string>
#include <string_view>

namespace sk720 {

std::u16string utf8ToUtf16(std::string_view s);
std::string utf16ToUtf8(std::u16string_view s);

// Paths from and to UTF-8 text without the deprecated u8path.
std::filesystem::path pathFromUtf8(std::string_view s);
std::string pathToUtf8(const std::filesystem::path& p);

}  // namespace sk720
