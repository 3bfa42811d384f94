#pragma once
// UTF-8 <-> UTF-16 for texts that are kept as UTF-16 outside the process (settings strings,
// Windows paths). Invalid input becomes U+FFFD rather than failing.
#include <filesystem>
#include <string>
#include <string_view>

namespace sk720 {

std::u16string utf8ToUtf16(std::string_view s);
std::string utf16ToUtf8(std::u16string_view s);

// Lengths as Windows counts characters: in UTF-16 units of the converted text (a character
// beyond the basic plane counts two, an invalid byte one).
size_t utf16Length(std::string_view s);
// The longest start of s of at most maxUnits UTF-16 units; never ends inside a character.
std::string_view utf16Prefix(std::string_view s, size_t maxUnits);

// Paths from and to UTF-8 text without the deprecated u8path.
std::filesystem::path pathFromUtf8(std::string_view s);
std::string pathToUtf8(const std::filesystem::path& p);

}  // namespace sk720
