#pragma once
// What `sk720 info` counts in a record file, and the text it prints for it.
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace sk720::cli {

struct RecordSummary {
  uint64_t files = 0;  // files with at least one ping (the total counts them)
  uint64_t pings = 0;  // records read whole
  uint64_t noEcho = 0;
  uint64_t badFooter = 0, badLength = 0, badStart = 0, readFailed = 0;
  bool endsInsideRecord = false;
  std::map<uint32_t, uint64_t> headerSizes;
  std::map<int32_t, uint64_t> rangesMm;
  std::map<int32_t, uint64_t> linesPerTurn;
  uint64_t withCompass = 0, withPosition = 0;
  // The way the head turned, in lines of 3200 a turn: the short way from each echo line to the
  // next, and the last step once more for the width of the last line.
  uint64_t linesTurned = 0;
  int32_t lastLine = -1;
  int32_t lastStep = 0;
  uint32_t lastWord = 0;
  std::set<int32_t> lines;

  // One reader result of the file and, for a whole record, the record.
  void add(int32_t result, const uint8_t* record);
  void merge(const RecordSummary& other);
  // Whole turns as a number with two decimals: 3200 lines at step 1 are one turn.
  double turns() const;
};

// The lines printed for one file: its path, then indented facts.
std::string describeSummary(const std::string& path, const RecordSummary& s);
// One line for several files together.
std::string describeTotal(const RecordSummary& total);

}  // namespace sk720::cli
