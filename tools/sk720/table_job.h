#pragma once
// Record files to a table of pings, one row each in file order: CSV (RFC 4180, a header row) or
// JSON lines.
#include <cstdint>
#include <string>
#include <vector>

#include "sk720/progress.h"

namespace sk720::cli {

enum class TableFormat { Csv, JsonLines };

struct TableJob {
  std::vector<std::string> files;
  std::string output;
  TableFormat format = TableFormat::Csv;
  bool samples = false;  // the echo amplitudes too
  ProgressLine* progress = nullptr;
};

struct TableResult {
  uint64_t rows = 0;
  uint64_t bytes = 0;  // of the input files read
};

// The format a file name asks for; false when its extension names none.
bool tableFormatOf(const std::string& path, TableFormat& format);

// Writes the table through a temporary file renamed into place at the end, so that a failure
// leaves no partial table. False with one line in *error.
bool exportTable(const TableJob& job, TableResult& result, std::string* error);

}  // namespace sk720::cli
