#pragma once
// Small option parser shared by the sk720 sub-commands.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sk720::cli {

// Walks argv: positionals are collected, "--name value" and "--flag" are taken by the caller.
class OptionReader {
 public:
  explicit OptionReader(const std::vector<std::string>& args) : args_(args) {}
  bool done() const { return pos_ >= args_.size(); }
  const std::string& peek() const { return args_[pos_]; }
  std::string next() { return args_[pos_++]; }
  // Value of the option just taken; sets error() when it is missing.
  std::optional<std::string> value(const std::string& option);
  const std::string& error() const { return error_; }
  void setError(const std::string& e) {
    if (error_.empty()) error_ = e;
  }

 private:
  const std::vector<std::string>& args_;
  size_t pos_ = 0;
  std::string error_;
};

// Whole-string integer in [lo, hi]; nullopt on anything else.
std::optional<int64_t> parseInteger(const std::string& text, int64_t lo, int64_t hi);
std::optional<double> parseNumber(const std::string& text);

}  // namespace sk720::cli
