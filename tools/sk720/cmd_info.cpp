// sk720 info: what a record file holds, in the words of someone reviewing a dive.
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "records/ping_record.h"
#include "scan/line_store.h"
#include "sk720/commands.h"
#include "sk720/info_summary.h"
#include "sk720/path_checks.h"
#include "sk720/progress.h"
#include "sk720/record_walk.h"

namespace sk720::cli {

int runInfo(const Args& args) {
  if (args.empty()) return fail("info", "no record file given", "usage: sk720 info FILE...");
  for (const std::string& a : args) {
    if (a.size() > 1 && a[0] == '-') {
      return fail("info", "unknown option " + a, "sk720 info --help lists the options");
    }
  }
  // Every file is checked before the first is read: a typo at the end costs no waiting.
  for (const std::string& path : args) {
    const std::string why = unreadableReason(path, InputKind::RegularFile);
    if (!why.empty()) return fail("info", path, why);
  }
  RecordSummary total;
  ProgressLine progress("info", progressWanted());
  uint64_t bytesBefore = 0;
  int status = 0;
  for (const std::string& path : args) {
    RecordSummary s;
    uint64_t fileBytes = 0;
    std::string error;
    const bool opened = walkRecordFile(
        path,
        [&](int32_t r, const uint8_t* rec, uint64_t offset) {
          fileBytes = offset;
          progress.update(total.pings + s.pings, bytesBefore + offset);
          s.add(r, rec);
          return true;
        },
        &error);
    progress.finish();
    bytesBefore += fileBytes;
    if (!opened) {
      status = fail("info", path, error);
      continue;
    }
    if (s.pings == 0) {
      status = fail("info", path, "no ping record found in it");
      continue;
    }
    std::fputs(describeSummary(path, s).c_str(), stdout);
    total.merge(s);
  }
  if (args.size() > 1 && total.files > 0) std::fputs(describeTotal(total).c_str(), stdout);
  return status;
}

}  // namespace sk720::cli
