#include "sk720/table_job.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <system_error>

#include "base/utf16.h"
#include "records/ping_record.h"
#include "records/record_file.h"
#include "scan/line_store.h"
#include "sk720/map_job.h"

namespace sk720::cli {

namespace fs = std::filesystem;

bool tableFormatOf(const std::string& path, TableFormat& format) {
  std::string ext = pathToUtf8(pathFromUtf8(path).extension());
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  if (ext == ".csv")
    format = TableFormat::Csv;
  else if (ext == ".jsonl" || ext == ".json")
    format = TableFormat::JsonLines;
  else
    return false;
  return true;
}

namespace {

constexpr double kPi = 3.14159265358979323846;
const char* const kStepTexts[6] = {"0.1125", "0.1125", "0.225", "0.45", "0.9", "1.8"};
const char* const kSectorHeadingTexts[8] = {"0", "45", "90", "135", "180", "225", "270", "315"};
const char* const kSectorWidthTexts[4] = {"45", "90", "135", "180"};

// Every valid record of a file with the byte offset where it starts: the reader may hold bytes
// it read past the record, which are not yet consumed.
bool walkWithOffsets(const std::string& path,
                     const std::function<void(const uint8_t*, uint64_t, uint64_t)>& visit,
                     std::string* error) {
  RecordFileSource file(true);
  if (!file.open(path)) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::vector<uint8_t> buf(kRecordBufferSize);
  RecordReader reader;
  for (;;) {
    const int32_t r = ReadPingRecord(file, buf.data(), systemClock(), reader);
    if (r == kTimedOut && file.atEnd() && reader.pendingBytes() == 0) break;
    if (r == kReadFailed) {
      if (error) *error = "cannot read " + path;
      return false;
    }
    if (r != kRecordEnd0 && r != kRecordEnd1) continue;
    const uint64_t end = file.position() - reader.pendingBytes();
    const DataHeader h = parseDataHeader(buf.data());
    visit(buf.data(), end - h.samples, end);
  }
  return true;
}

// A row's text, built field by field without locale or printf.
class Row {
 public:
  void clear() { text_.clear(); }
  void raw(const char* s) { text_ += s; }
  void raw(const std::string& s) { text_ += s; }
  void number(int64_t v) {
    char b[24];
    const auto r = std::to_chars(b, b + sizeof b, v);
    text_.append(b, r.ptr);
  }
  void number(double v) {
    char b[40];
    const auto r = std::to_chars(b, b + sizeof b, v);
    text_.append(b, r.ptr);
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

std::string csvQuoted(const std::string& s) {
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string jsonQuoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", c);
      out += b;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

const char* const kColumns[] = {"file",
                                "offset",
                                "ping",
                                "header_size",
                                "device_id",
                                "angle_raw",
                                "angle_deg",
                                "range_m",
                                "gain_db",
                                "step_deg",
                                "pulse",
                                "pulse_us",
                                "direction",
                                "head_up",
                                "sector_heading_deg",
                                "sector_width_deg",
                                "latitude",
                                "longitude",
                                "compass_deg",
                                "gyro_deg",
                                "sample_count",
                                "footer"};
constexpr size_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

// One field of a row: a number, a text, or empty (absent).
struct Field {
  enum Kind { Empty, Int, Real, Text } kind = Empty;
  int64_t i = 0;
  double d = 0.0;
  const char* t = nullptr;
};

class TableWriter {
 public:
  TableWriter(const TableJob& job, std::ofstream& out, int32_t sampleColumns)
      : job_(job), out_(out), sampleColumns_(sampleColumns) {
    if (job.format == TableFormat::Csv) {
      std::string header;
      for (size_t c = 0; c < kColumnCount; ++c) header += (c ? "," : "") + std::string(kColumns[c]);
      for (int32_t s = 0; s < sampleColumns; ++s) header += ",s" + std::to_string(s);
      header += "\r\n";
      put(header);
    }
  }

  void startFile(const std::string& path) {
    fileCsv_ = csvQuoted(path);
    fileJson_ = jsonQuoted(path);
    ping_ = 0;
  }

  void row(const uint8_t* rec, uint64_t offset) {
    const DataHeader h = parseDataHeader(rec);
    const uint32_t w = h.commandid;
    Field f[kColumnCount];
    f[1] = {Field::Int, int64_t(offset)};
    f[2] = {Field::Int, ping_++};
    f[3] = {Field::Int, h.headersize};
    f[4] = {Field::Int, h.deviceid};
    f[5] = {Field::Int, h.angle};
    if (h.angle != kNoEchoAngle) {
      // As the display reads it: the head-up bit of the record before.
      const int32_t line = lineIndexOf(h.angle, (previousWord_ >> 4) & 1);
      f[6] = {Field::Real, 0, line * 0.1125};
      if (previousLine_ >= 0 && line != previousLine_) {
        int32_t delta = line - previousLine_;
        if (delta > 1600) delta -= 3200;
        if (delta < -1600) delta += 3200;
        f[12] = {Field::Text, 0, 0.0, delta > 0 ? "ccw" : "cw"};
      }
      previousLine_ = line;
    }
    previousWord_ = w;
    f[7] = {Field::Real, 0, RangeFromRecordLength(h.samples) / 1000.0};
    const int64_t gain = (w >> 15) & 15;
    f[8] = {Field::Int, ((w >> 19) & 1) ? -gain : gain};
    const uint32_t stepCode = (w >> 20) & 15;
    if (stepCode < 6) f[9] = {Field::Text, 0, 0.0, kStepTexts[stepCode]};
    const bool afm = (w >> 2) & 1, fm = !afm && ((w >> 3) & 1);
    f[10] = {Field::Text, 0, 0.0, afm ? "AFM" : fm ? "FM" : "CW"};
    f[11] = {Field::Int, afm || fm ? 512 : int64_t((w >> 5) & 0x3FF)};
    f[13] = {Field::Int, (w >> 4) & 1};
    if (!((w >> 29) & 1)) {
      f[14] = {Field::Text, 0, 0.0, kSectorHeadingTexts[(w >> 24) & 7]};
      f[15] = {Field::Text, 0, 0.0, kSectorWidthTexts[(w >> 27) & 3]};
    }
    if (h.headersize >= 44 && h.latitude != 0.0f && h.longitude != 0.0f &&
        std::isfinite(h.latitude) && std::isfinite(h.longitude)) {
      f[16] = {Field::Real, 0, double(h.latitude) * 180.0 / kPi};
      f[17] = {Field::Real, 0, double(h.longitude) * 180.0 / kPi};
    }
    if (h.headersize >= 36) {
      f[18] = {Field::Real, 0, h.compass / 80.0};
      f[19] = {Field::Real, 0, h.gyroangle / 80.0};
    }
    const int32_t count = recordSampleCount(h);
    f[20] = {Field::Int, count};
    f[21] = {Field::Text, 0, 0.0, parseDataFooter(rec).magic == kEnd0Magic ? "END0" : "END1"};
    const uint8_t* samples = rec + recordSampleOffset(h);

    row_.clear();
    if (job_.format == TableFormat::Csv) {
      row_.raw(fileCsv_);
      for (size_t c = 1; c < kColumnCount; ++c) {
        row_.raw(",");
        value(f[c], false);
      }
      for (int32_t s = 0; s < sampleColumns_; ++s) {
        row_.raw(",");
        if (s < count) row_.number(int64_t(samples[s]));
      }
      row_.raw("\r\n");
    } else {
      row_.raw("{\"file\":");
      row_.raw(fileJson_);
      for (size_t c = 1; c < kColumnCount; ++c) {
        row_.raw(",\"");
        row_.raw(kColumns[c]);
        row_.raw("\":");
        value(f[c], true);
      }
      if (job_.samples) {
        row_.raw(",\"samples\":[");
        for (int32_t s = 0; s < count; ++s) {
          if (s) row_.raw(",");
          row_.number(int64_t(samples[s]));
        }
        row_.raw("]");
      }
      row_.raw("}\n");
    }
    put(row_.text());
  }

  void flush() {
    out_.write(buffer_.data(), std::streamsize(buffer_.size()));
    buffer_.clear();
  }

 private:
  void value(const Field& f, bool json) {
    switch (f.kind) {
      case Field::Empty:
        if (json) row_.raw("null");
        break;
      case Field::Int:
        row_.number(f.i);
        break;
      case Field::Real:
        row_.number(f.d);
        break;
      case Field::Text:
        if (json) row_.raw("\"");
        row_.raw(f.t);
        if (json) row_.raw("\"");
        break;
    }
  }
  void put(const std::string& s) {
    buffer_ += s;
    if (buffer_.size() >= (1u << 20)) flush();
  }

  const TableJob& job_;
  std::ofstream& out_;
  int32_t sampleColumns_;
  std::string buffer_;
  Row row_;
  std::string fileCsv_, fileJson_;
  int64_t ping_ = 0;
  uint32_t previousWord_ = 0;
  int32_t previousLine_ = -1;
};

}  // namespace

bool exportTable(const TableJob& job, TableResult& result, std::string* error) {
  for (const std::string& path : job.files) {
    if (!readableFile(path, error)) return false;
  }
  // CSV has one header for all rows: its sample columns reach the longest record.
  int32_t sampleColumns = 0;
  if (job.samples && job.format == TableFormat::Csv) {
    for (const std::string& path : job.files) {
      const bool ok = walkWithOffsets(
          path,
          [&](const uint8_t* rec, uint64_t, uint64_t) {
            sampleColumns = std::max(sampleColumns, recordSampleCount(parseDataHeader(rec)));
          },
          error);
      if (!ok) return false;
    }
  }

  const fs::path target = pathFromUtf8(job.output);
  fs::path part = target;
  part += ".part";
  std::ofstream out(part, std::ios::binary | std::ios::trunc);
  if (!out) {
    if (error) *error = "cannot create " + job.output + ": " + std::strerror(errno);
    return false;
  }
  auto abandon = [&](const std::string& why) {
    out.close();
    std::error_code ec;
    fs::remove(part, ec);
    if (error && !why.empty()) *error = why;
    return false;
  };

  TableWriter writer(job, out, sampleColumns);
  uint64_t before = 0;
  for (const std::string& path : job.files) {
    writer.startFile(path);
    uint64_t fileEnd = 0;
    const bool ok = walkWithOffsets(
        path,
        [&](const uint8_t* rec, uint64_t offset, uint64_t end) {
          writer.row(rec, offset);
          ++result.rows;
          fileEnd = end;
          if (job.progress) job.progress->update(result.rows, before + end);
        },
        error);
    if (!ok) return abandon("");
    std::error_code sizeError;
    const uintmax_t size = fs::file_size(pathFromUtf8(path), sizeError);
    before += sizeError ? fileEnd : std::max(fileEnd, uint64_t(size));
  }
  result.bytes = before;
  if (result.rows == 0) return abandon("no valid record in the input");
  writer.flush();
  out.close();
  if (!out) return abandon("cannot write " + job.output);
  std::error_code ec;
  fs::rename(part, target, ec);
  if (ec) return abandon("cannot write " + job.output + ": " + ec.message());
  return true;
}

}  // namespace sk720::cli
