#include "sk720/info_summary.h"

#include <algorithm>
#include <cstdio>

#include "records/ping_record.h"
#include "scan/line_store.h"

namespace sk720::cli {

namespace {

std::string format(const char* pattern, auto... values) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, values...);
  return text;
}

unsigned long long ull(uint64_t v) { return static_cast<unsigned long long>(v); }

// "44 bytes (3000), 36 bytes (200)": each value with the pings that had it.
template <typename Key, typename Show>
std::string counted(const std::map<Key, uint64_t>& counts, Show show) {
  std::string text;
  for (const auto& [key, n] : counts) {
    if (!text.empty()) text += ", ";
    text += show(key) + format(" (%llu)", ull(n));
  }
  return text;
}

uint64_t damaged(const RecordSummary& s) {
  return s.badFooter + s.badLength + s.badStart + s.readFailed;
}

}  // namespace

void RecordSummary::add(int32_t result, const uint8_t* record) {
  switch (result) {
    case kRecordEnd0:
    case kRecordEnd1:
      break;
    case kBadFooter:
      ++badFooter;
      return;
    case kBadLength:
      ++badLength;
      return;
    case kBadMagic:
      ++badStart;
      return;
    case kTimedOut:
      endsInsideRecord = true;
      return;
    default:
      ++readFailed;
      return;
  }
  ++pings;
  files = 1;
  const DataHeader h = parseDataHeader(record);
  ++headerSizes[h.headersize];
  ++rangesMm[RangeFromRecordLength(h.samples)];
  ++linesPerTurn[LinesPerTurn(h.commandid)];
  if (h.compass != 0 || h.gyroangle != 0) ++withCompass;
  if (h.headersize == 44 && h.latitude != 0.0f && h.longitude != 0.0f) ++withPosition;
  if (h.angle == kNoEchoAngle) {
    ++noEcho;
    return;
  }
  // The head-up bit of the previous record's word, as the display takes it.
  const int32_t line = lineIndexOf(h.angle, (lastWord >> 4) & 1);
  lastWord = h.commandid;
  if (lastLine >= 0) {
    const int32_t d = ((line - lastLine) % kLinesPerTurn + kLinesPerTurn) % kLinesPerTurn;
    const int32_t shortest = std::min(d, kLinesPerTurn - d);
    linesTurned += uint64_t(shortest);
    if (shortest > 0) lastStep = shortest;
  }
  lastLine = line;
  lines.insert(line);
}

void RecordSummary::merge(const RecordSummary& o) {
  files += o.files;
  pings += o.pings;
  noEcho += o.noEcho;
  badFooter += o.badFooter;
  badLength += o.badLength;
  badStart += o.badStart;
  readFailed += o.readFailed;
  endsInsideRecord = endsInsideRecord || o.endsInsideRecord;
  for (const auto& [k, v] : o.headerSizes) headerSizes[k] += v;
  for (const auto& [k, v] : o.rangesMm) rangesMm[k] += v;
  for (const auto& [k, v] : o.linesPerTurn) linesPerTurn[k] += v;
  withCompass += o.withCompass;
  withPosition += o.withPosition;
  linesTurned += o.linesTurned + uint64_t(o.lastStep);
  lines.insert(o.lines.begin(), o.lines.end());
}

double RecordSummary::turns() const {
  return double(linesTurned + uint64_t(lastStep)) / kLinesPerTurn;
}

std::string describeSummary(const std::string& path, const RecordSummary& s) {
  std::string text = path + "\n";
  text += format("  pings: %llu", ull(s.pings));
  if (s.noEcho > 0) text += format(", %llu of them without an echo line", ull(s.noEcho));
  text += "\n";
  if (damaged(s) > 0) {
    std::string parts;
    auto part = [&](uint64_t n, const char* what) {
      if (n == 0) return;
      if (!parts.empty()) parts += ", ";
      parts += format("%llu %s", ull(n), what);
    };
    part(s.badLength, "with a wrong length");
    part(s.badFooter, "with a wrong end mark");
    part(s.badStart, "with a wrong start");
    part(s.readFailed, "that could not be read");
    text += "  damaged records skipped: " + parts + "\n";
  }
  if (s.endsInsideRecord) text += "  the file ends inside a record\n";
  text += "  header: " + counted(s.headerSizes, [](uint32_t h) { return format("%u bytes", h); }) +
          "\n";
  text +=
      "  range: " + counted(s.rangesMm, [](int32_t mm) { return format("%g m", mm / 1000.0); }) +
      "\n";
  text += "  resolution: " +
          counted(s.linesPerTurn, [](int32_t l) { return format("%d lines a turn", l); }) + "\n";
  text += format("  head turned: %.2f turns, %zu of %d lines seen\n", s.turns(), s.lines.size(),
                 kLinesPerTurn);
  text += s.withCompass > 0 ? format("  compass and gyro: in %llu pings\n", ull(s.withCompass))
                            : std::string("  compass and gyro: none\n");
  text += s.withPosition > 0 ? format("  positions: in %llu pings\n", ull(s.withPosition))
                             : std::string("  positions: none\n");
  return text;
}

std::string describeTotal(const RecordSummary& t) {
  std::string text = format("total: %llu pings in %llu %s, head turned %.2f turns", ull(t.pings),
                            ull(t.files), t.files == 1 ? "file" : "files", t.turns());
  if (damaged(t) > 0) text += format(", %llu damaged records skipped", ull(damaged(t)));
  return text + "\n";
}

}  // namespace sk720::cli
