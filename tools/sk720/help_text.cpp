#include "sk720/help_text.h"

#include <algorithm>

namespace sk720::cli {

namespace {

// The option column of a command's help; longer options put their text on the next line.
constexpr size_t kOptionColumn = 26;
// The summary column of the command list.
constexpr size_t kSummaryColumn = 11;

const char* const kExitCodes[][2] = {
    {"0",
     "done (capture: also when stopped by Ctrl-C or SIGTERM, whether it came while "
     "connecting or while recording; what was recorded is kept)"},
    {"2",
     "bad usage or input: an unknown option, a value out of range, a file that cannot be "
     "read or written, a file without a record"},
    {"3", "capture: the head or GPS port cannot be opened"},
    {"4", "capture: the head does not answer"},
    {"5", "capture: the head did not accept its parameters"},
    {"6", "capture: stopped early: the port or the record file failed while recording"},
};

}  // namespace

std::string wrapText(const std::string& text, size_t firstIndent, size_t indent, size_t width) {
  std::string out;
  size_t column = firstIndent;
  bool lineEmpty = true;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == ' ') {
      ++pos;
      continue;
    }
    const size_t end = std::min(text.find(' ', pos), text.size());
    const std::string word = text.substr(pos, end - pos);
    pos = end;
    if (!lineEmpty && column + 1 + word.size() > width) {
      out += '\n';
      out.append(indent, ' ');
      column = indent;
      lineEmpty = true;
    }
    if (!lineEmpty) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    lineEmpty = false;
  }
  return out;
}

void printProgramHelp(std::FILE* out) {
  std::fputs(
      "usage: sk720 COMMAND [options]\n"
      "       sk720 help COMMAND      (or sk720 COMMAND --help) the command's options\n"
      "       sk720 --version\n"
      "\ncommands:\n",
      out);
  for (const Command& c : commandTable()) {
    std::string line = "  ";
    line += c.name;
    line.resize(std::max(line.size() + 1, kSummaryColumn), ' ');
    line += wrapText(c.summary, line.size(), kSummaryColumn);
    std::fprintf(out, "%s\n", line.c_str());
  }
  std::fputs("\nexit codes:\n", out);
  for (const auto& [code, meaning] : kExitCodes) {
    std::string line = "  ";
    line += code;
    line.resize(6, ' ');
    line += wrapText(meaning, line.size(), 6);
    std::fprintf(out, "%s\n", line.c_str());
  }
}

void printCommandHelp(std::FILE* out, const Command& command) {
  std::fprintf(
      out, "%s\n",
      wrapText(std::string("sk720 ") + command.name + ": " + command.summary, 0, 2).c_str());
  const std::string usage = std::string("usage: sk720 ") + command.name + " " + command.usage;
  std::fprintf(out, "%s\n", wrapText(usage, 0, 7 + 6 + std::string(command.name).size()).c_str());
  if (command.options.empty()) return;
  std::fputs("\n", out);
  for (const OptionHelp& o : command.options) {
    std::string line = "  ";
    line += o.option;
    if (line.size() + 2 > kOptionColumn) {
      line += '\n';
      line.append(kOptionColumn, ' ');
    } else {
      line.resize(kOptionColumn, ' ');
    }
    line += wrapText(o.meaning, kOptionColumn, kOptionColumn);
    std::fprintf(out, "%s\n", line.c_str());
  }
}

}  // namespace sk720::cli
