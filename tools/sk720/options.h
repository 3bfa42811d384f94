#pragma once
// Small option parser shared by the sk720 sub-commands; its errors take the one form of fail().
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/view_settings.h"

namespace sk720::cli {

// Walks argv: positionals are collected, "--name value" and "--flag" are taken by the caller.
// The first error is kept; the caller stops at it and reports it with failure().
class OptionReader {
 public:
  OptionReader(std::string command, const std::vector<std::string>& args)
      : command_(std::move(command)), args_(args) {}
  bool done() const { return pos_ >= args_.size(); }
  bool ok() const { return what_.empty(); }
  std::string next() { return args_[pos_++]; }

  // Value of the option just taken; an error when it is missing.
  std::optional<std::string> value(const std::string& option);
  // The option's value as a whole integer in [lo, hi]; `allowed` says what is accepted
  // ("1 to 10"), when not given the range itself.
  std::optional<int64_t> integer(const std::string& option, int64_t lo, int64_t hi,
                                 const std::string& allowed = {});
  // The option's value as a number in [lo, hi].
  std::optional<double> number(const std::string& option, double lo, double hi,
                               const std::string& allowed);

  void setError(const std::string& what, const std::string& reason);
  // "bad --contrast '11': it takes 1 to 10 or auto"
  void badValue(const std::string& option, const std::string& value, const std::string& allowed);
  void unknownOption(const std::string& option);
  // Prints the kept error in fail()'s form; returns its exit code.
  int failure() const;

 private:
  std::string command_;
  const std::vector<std::string>& args_;
  size_t pos_ = 0;
  std::string what_, reason_;
};

// The view options render, video and export share (--zero-offset, --palette, --contrast,
// --brightness, --curve, --gain-index, --dead-zone-index): true when `option` was one of them.
bool readViewOption(OptionReader& r, const std::string& option, ViewSettings& view);

// Whole-string integer in [lo, hi]; nullopt on anything else.
std::optional<int64_t> parseInteger(const std::string& text, int64_t lo, int64_t hi);
std::optional<double> parseNumber(const std::string& text);

}  // namespace sk720::cli
