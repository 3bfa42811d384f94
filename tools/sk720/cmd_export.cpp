// sk720 export: recordings to map layers (--map) or to a table of pings (--table).
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "base/utf16.h"
#include "sk720/commands.h"
#include "sk720/map_job.h"
#include "sk720/options.h"
#include "sk720/table_job.h"

namespace sk720::cli {

namespace {

bool parseLatLon(const std::string& text, double& lat, double& lon) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  auto a = parseNumber(text.substr(0, comma));
  auto b = parseNumber(text.substr(comma + 1));
  if (!a || !b || *a < -90.0 || *a > 90.0 || *b < -180.0 || *b > 180.0) return false;
  lat = *a, lon = *b;
  return true;
}

}  // namespace

int runExport(const Args& args) {
  OptionReader r("export", args);
  MapJob map;
  TableJob table;
  std::optional<std::string> mapDir, tableOut;
  std::string turns;
  bool sizeGiven = false, everyGiven = false;
  while (!r.done() && r.ok()) {
    const std::string a = r.next();
    auto integer = [&](int64_t lo, int64_t hi, int32_t& target) {
      if (auto n = r.integer(a, lo, hi)) target = int32_t(*n);
    };
    if (a == "--map") {
      if (auto v = r.value(a)) mapDir = *v;
    } else if (a == "--table") {
      if (auto v = r.value(a)) tableOut = *v;
    } else if (a == "--samples") {
      table.samples = true;
    } else if (a == "--turns") {
      if (auto v = r.value(a)) turns = *v;
    } else if (a == "--every") {
      integer(1, 1000000, map.every);
      everyGiven = true;
    } else if (a == "--size") {
      integer(16, 4096, map.size);
      sizeGiven = true;
    } else if (a == "--heading") {
      if (auto v = r.value(a)) {
        auto d = parseNumber(*v);
        if (!d || !(*d >= -360.0 && *d <= 360.0)) {
          r.badValue(a, *v, "degrees from -360 to 360");
        } else {
          map.headingDeg = *d;
        }
      }
    } else if (a == "--position") {
      if (auto v = r.value(a)) {
        double lat = 0.0, lon = 0.0;
        if (!parseLatLon(*v, lat, lon)) {
          r.badValue(a, *v, "LAT,LON in degrees (-90..90,-180..180)");
        } else {
          map.latitudeDeg = lat, map.longitudeDeg = lon;
        }
      }
    } else if (a == "--palette") {
      if (auto v = r.value(a)) {
        if (*v == "brown")
          map.view.palette = 0;
        else if (*v == "rainbow")
          map.view.palette = 1;
        else if (*v == "default")
          map.view.palette = 2;
        else
          r.badValue(a, *v, "brown, rainbow or default");
      }
    } else if (a == "--contrast") {
      if (auto v = r.value(a)) {
        if (*v == "auto")
          map.view.autoContrast = 1;
        else if (auto n = parseInteger(*v, 1, 10))
          map.view.autoContrast = 0, map.view.contrast = int32_t(*n);
        else
          r.badValue(a, *v, "1 to 10 or auto");
      }
    } else if (a == "--brightness") {
      integer(0, 19, map.view.brightness);
    } else if (a == "--curve") {
      if (auto v = r.value(a)) {
        if (*v == "linear")
          map.view.linear = 1;
        else if (*v == "log")
          map.view.linear = 0;
        else
          r.badValue(a, *v, "linear or log");
      }
    } else if (a == "--gain-index") {
      integer(0, 8, map.view.gainIndex);
    } else if (a == "--dead-zone-index") {
      integer(0, 5, map.view.deadZoneIndex);
    } else if (a == "--zero-offset") {
      integer(-3600, 3600, map.view.zeroOffset);
    } else if (a.size() > 1 && a[0] == '-') {
      r.unknownOption(a);
    } else {
      map.files.push_back(a);
    }
  }
  if (!r.ok()) return r.failure();
  if (map.files.empty())
    return fail("export", "no record file given",
                "usage: sk720 export FILE... --map DIR | --table OUT");
  if (mapDir.has_value() == tableOut.has_value()) {
    return fail("export", "give either --map DIR or --table OUT: one export at a time", "");
  }

  if (tableOut) {
    if (!turns.empty() || sizeGiven || everyGiven || map.headingDeg || map.latitudeDeg) {
      return fail("export",
                  "--turns, --size, --every, --heading and --position go with --map, "
                  "not --table",
                  "");
    }
    table.files = map.files;
    table.output = *tableOut;
    if (!tableFormatOf(table.output, table.format)) {
      return fail(
          "export",
          "cannot tell the table's format from " + table.output + ": name it .csv or .jsonl", "");
    }
    std::error_code ec;
    for (const std::string& f : table.files) {
      if (std::filesystem::equivalent(pathFromUtf8(f), pathFromUtf8(table.output), ec)) {
        return fail("export", "the table " + table.output + " would overwrite its input", "");
      }
    }
    ProgressLine progress("export", progressWanted());
    table.progress = &progress;
    TableResult result;
    std::string error;
    const bool ok = exportTable(table, result, &error);
    progress.finish();
    if (!ok) return fail("export", "" + error, "");
    std::printf("%s: %llu rows from %llu bytes of records\n", table.output.c_str(),
                (unsigned long long)result.rows, (unsigned long long)result.bytes);
    return 0;
  }

  if (table.samples) return fail("export", "--samples goes with --table, not --map", "");
  map.dir = *mapDir;
  if (turns == "last") {
    map.lastOnly = true;
    if (everyGiven)
      return fail("export", "--every cannot thin --turns last: give one or the other", "");
  } else if (!turns.empty() && turns != "all") {
    const size_t dash = turns.find('-');
    auto first = parseInteger(turns.substr(0, dash), 1, INT32_MAX);
    auto last =
        dash == std::string::npos ? first : parseInteger(turns.substr(dash + 1), 1, INT32_MAX);
    if (!first || !last || *last < *first) {
      return fail("export", "bad --turns '" + turns + "'",
                  "it takes all, last or FIRST-LAST (1 or more)");
    }
    map.firstTurn = int32_t(*first), map.lastTurn = int32_t(*last);
  }
  ProgressLine progress("export", progressWanted());
  map.progress = &progress;
  MapResult result;
  std::string error;
  const bool ok = exportMap(map, result, &error);
  progress.finish();
  if (!ok) return fail("export", "" + error, "");
  std::string skipped;
  auto why = [&](int32_t n, const char* text) {
    if (n == 0) return;
    skipped += (skipped.empty() ? "" : ", ") + std::to_string(n) + " " + text;
  };
  why(result.noPosition, "without a position");
  why(result.incomplete, "incomplete");
  why(result.notSelected, "not chosen");
  std::printf("%s: %d turns written, %d skipped%s%s%s, from %llu records\n", map.dir.c_str(),
              result.written, result.noPosition + result.incomplete + result.notSelected,
              skipped.empty() ? "" : " (", skipped.c_str(), skipped.empty() ? "" : ")",
              (unsigned long long)result.records);
  return 0;
}

}  // namespace sk720::cli
