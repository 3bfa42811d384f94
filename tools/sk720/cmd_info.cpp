// sk720 info: what a record file holds.
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "records/ping_record.h"
#include "scan/line_store.h"
#include "sk720/commands.h"
#include "sk720/progress.h"
#include "sk720/record_walk.h"

namespace sk720::cli {

namespace {

struct FileSummary {
  uint64_t records = 0;  // valid records (results 0 and 1)
  std::map<int32_t, uint64_t> results;
  std::map<uint32_t, uint64_t> headerSizes;
  std::map<int32_t, uint64_t> rangesMm;
  std::map<int32_t, uint64_t> linesPerTurn;
  uint64_t noEcho = 0, turns = 0, withCompass = 0, withPosition = 0;
  std::set<int32_t> lines;
};

const char* resultName(int32_t r) {
  switch (r) {
    case 1:
      return "END1";
    case 0:
      return "END0";
    case -1:
      return "bad footer (-1)";
    case -2:
      return "bad magic (-2)";
    case -3:
      return "bad length (-3)";
    case -5:
      return "read failed (-5)";
    case -6:
      return "truncated (-6)";
    default:
      return "other";
  }
}

void print(const std::string& title, const FileSummary& s) {
  std::printf("%s\n", title.c_str());
  std::printf("  records: %llu valid, %llu without echo line\n", (unsigned long long)s.records,
              (unsigned long long)s.noEcho);
  std::printf("  reader results:");
  for (auto& [r, n] : s.results) std::printf(" %s %llu;", resultName(r), (unsigned long long)n);
  std::printf("\n  header sizes:");
  for (auto& [h, n] : s.headerSizes) std::printf(" %u (%llu)", h, (unsigned long long)n);
  std::printf("\n  ranges:");
  for (auto& [mm, n] : s.rangesMm) std::printf(" %g m (%llu)", mm / 1000.0, (unsigned long long)n);
  std::printf("\n  lines per turn:");
  for (auto& [l, n] : s.linesPerTurn) std::printf(" %d (%llu)", l, (unsigned long long)n);
  std::printf("\n  turns covered: %llu passes through zero, %zu of 3200 lines seen\n",
              (unsigned long long)s.turns, s.lines.size());
  std::printf("  compass/gyro present: %llu records\n", (unsigned long long)s.withCompass);
  std::printf("  positions present: %llu records\n", (unsigned long long)s.withPosition);
}

void add(FileSummary& total, const FileSummary& s) {
  total.records += s.records;
  total.noEcho += s.noEcho;
  total.turns += s.turns;
  total.withCompass += s.withCompass;
  total.withPosition += s.withPosition;
  for (auto& [k, v] : s.results) total.results[k] += v;
  for (auto& [k, v] : s.headerSizes) total.headerSizes[k] += v;
  for (auto& [k, v] : s.rangesMm) total.rangesMm[k] += v;
  for (auto& [k, v] : s.linesPerTurn) total.linesPerTurn[k] += v;
  total.lines.insert(s.lines.begin(), s.lines.end());
}

}  // namespace

int runInfo(const Args& args) {
  if (args.empty()) return fail("info", "no record file given", "usage: sk720 info FILE...");
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-') {
      return fail("info", "unknown option " + a, "sk720 info --help lists the options");
    }
  }
  FileSummary total;
  ProgressLine progress("info", progressWanted());
  uint64_t bytesBefore = 0;
  for (const std::string& path : args) {
    FileSummary s;
    uint64_t fileBytes = 0;
    uint32_t lastWord = 0;
    int32_t previousSide = 0;
    std::string error;
    const bool opened = walkRecordFile(
        path,
        [&](int32_t r, const uint8_t* rec, uint64_t offset) {
          fileBytes = offset;
          progress.update(total.records + s.records, bytesBefore + offset);
          ++s.results[r];
          if (r != kRecordEnd0 && r != kRecordEnd1) return true;
          ++s.records;
          const DataHeader h = parseDataHeader(rec);
          ++s.headerSizes[h.headersize];
          ++s.rangesMm[RangeFromRecordLength(h.samples)];
          ++s.linesPerTurn[LinesPerTurn(h.commandid)];
          if (h.compass != 0 || h.gyroangle != 0) ++s.withCompass;
          if (h.headersize == 44 && h.latitude != 0.0f && h.longitude != 0.0f) ++s.withPosition;
          if (h.angle == kNoEchoAngle) {
            ++s.noEcho;
            return true;
          }
          // The same pass-through-zero rule the display uses for its turn flag.
          const int32_t line = lineIndexOf(h.angle, (lastWord >> 4) & 1);
          if (detectTurn(previousSide, line)) ++s.turns;
          lastWord = h.commandid;
          s.lines.insert(line);
          return true;
        },
        &error);
    progress.finish();
    if (!opened) return fail("info", path, error);
    bytesBefore += fileBytes;
    print(path, s);
    add(total, s);
  }
  if (args.size() > 1) print("total", total);
  if (total.records == 0) return fail("info", "no valid record found", "");
  return 0;
}

}  // namespace sk720::cli
