#pragma once
// Reads the comma-separated fields of a sentence against a pattern such as "$GPVTG,%f,%C*".
// Literal characters must match; "%s" takes a text field, "%C" one character, "%d" an integer,
// "%2d" an integer of at most two characters, "%f" a real number. An empty field leaves its
// target as it was but still counts; a numeric field longer than 255 characters reads as 0.
#include <cstdint>
#include <span>
#include <string_view>
#include <variant>

namespace sk720 {

// A text field is a view into the sentence: nothing is copied, so no length limit applies here.
using FieldTarget = std::variant<std::string_view*, char*, int32_t*, double*>;

// Returns the number of conversions reached; scanning stops at the first literal that does not
// match and at the first field that is not what its conversion asks for (that one not counted).
int32_t scanFields(std::string_view text, std::string_view pattern,
                   std::span<const FieldTarget> targets);

}  // namespace sk720
