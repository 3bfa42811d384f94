#pragma once
// The help screens of sk720: the program's overview and one command's options, wrapped to 80
// columns.
#include <cstdio>
#include <string>

#include "sk720/commands.h"

namespace sk720::cli {

constexpr size_t kHelpWidth = 80;

// `text` broken into lines of at most `width` columns at spaces; the first line starts after
// `firstIndent` columns already used, the others are indented by `indent` blanks. A word longer
// than a line stands on a line of its own.
std::string wrapText(const std::string& text, size_t firstIndent, size_t indent,
                     size_t width = kHelpWidth);

// `sk720 --help`: the usage forms, each command with its summary, and the exit codes.
void printProgramHelp(std::FILE* out);

// `sk720 COMMAND --help`: summary, usage, and every option on its own line.
void printCommandHelp(std::FILE* out, const Command& command);

}  // namespace sk720::cli
