#include "sk720/map_job.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>

#include "base/utf16.h"
#include "records/ping_record.h"
#include "records/playback_feed.h"
#include "scan/heading.h"
#include "scan/north_up.h"
#include "scan/pixel_conversion.h"
#include "scan/png_writer.h"
#include "scan/scan_paint.h"
#include "sk720/map_frame.h"
#include "sk720/path_checks.h"
#include "sk720/record_walk.h"
#include "sk720/turn_split.h"

namespace sk720::cli {

namespace fs = std::filesystem;

// As info and render do: a pipe or a device would block the export or never end.
bool readableFile(const std::string& path, std::string* error) {
  const std::string why = unreadableReason(path, InputKind::RegularFile);
  if (!why.empty() && error) *error = "cannot read " + path + ": " + why;
  return why.empty();
}

std::string recordingStem(const std::string& path) { return pathToUtf8(pathFromUtf8(path).stem()); }

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Fix {
  double lat = 0.0, lon = 0.0;  // degrees
  bool present = false;
};

// Files written so far: removed again when the export fails.
class Outputs {
 public:
  explicit Outputs(std::vector<std::string>& list) : list_(list) {}
  ~Outputs() {
    if (committed_) return;
    for (const std::string& p : list_) {
      std::error_code ec;
      fs::remove(pathFromUtf8(p), ec);
    }
    list_.clear();
  }
  Outputs(const Outputs&) = delete;
  Outputs& operator=(const Outputs&) = delete;
  void add(const std::string& p) { list_.push_back(p); }
  void commit() { committed_ = true; }

 private:
  std::vector<std::string>& list_;
  bool committed_ = false;
};

bool writeText(const std::string& path, const std::string& text, Outputs& outputs,
               std::string* error) {
  outputs.add(path);
  std::ofstream f(pathFromUtf8(path), std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  if (!f) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

std::string xmlEscaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

// One turn written out, remembered for the KML.
struct Overlay {
  std::string name, png;
  MapBox box;
};

// The head's positions of one recording, thinned to steps of half a metre.
struct Track {
  std::string name;
  std::vector<Fix> points;
  void add(const Fix& f) {
    if (!points.empty()) {
      double perLat = 0.0, perLon = 0.0;
      metresPerDegree(f.lat, perLat, perLon);
      const Fix& b = points.back();
      if (std::hypot((f.lat - b.lat) * perLat, (f.lon - b.lon) * perLon) < 0.5) return;
    }
    points.push_back(f);
  }
};

class MapExporter {
 public:
  MapExporter(const MapJob& job, MapResult& result, Outputs& outputs)
      : job_(job), result_(result), outputs_(outputs), store_(std::make_unique<LineStore>()) {
    shared_.compassEnabled.store(1);
    shared_.zeroAlwaysUp.store(0);
    canvas_.resize(size_t(job.size) * size_t(job.size));
    layer_.resize(canvas_.size());
  }

  bool run(std::string* error) {
    uint64_t bytesBefore = 0;
    for (const std::string& path : job_.files) {
      stem_ = recordingStem(path);
      turnNumber_ = 0;
      held_.reset();
      splitter_.beginRecording();
      fixes_.clear();
      tracks_.push_back(Track{stem_, {}});
      uint64_t fileBytes = 0;
      bool failed = false;
      const bool opened = walkRecordFile(
          path,
          [&](int32_t r, const uint8_t* rec, uint64_t offset) {
            fileBytes = offset;
            if (job_.progress) {
              job_.progress->update(result_.records, bytesBefore + offset,
                                    std::to_string(result_.written) + " turns");
            }
            if (r != kRecordEnd0 && r != kRecordEnd1) return true;
            ++result_.records;
            if (!record(rec, error)) {
              failed = true;
              return false;
            }
            return true;
          },
          error);
      if (!opened && error) *error = "cannot read " + path + ": " + *error;
      if (!opened || failed) return false;
      if (!endTurn(error) || !writeHeld(error)) return false;
      bytesBefore += fileBytes;
    }
    if (result_.records == 0) {
      if (error) *error = "no valid record in the input";
      return false;
    }
    if (!positionSeen_ && !job_.latitudeDeg && result_.noPosition > 0) {
      if (error) *error = "the records carry no position: give --position LAT,LON";
      return false;
    }
    return writeKml(error);
  }

 private:
  bool record(const uint8_t* rec, std::string* error) {
    const DataHeader h = parseDataHeader(rec);
    Fix fix;
    if (h.headersize == 44 && h.latitude != 0.0f && h.longitude != 0.0f &&
        std::isfinite(h.latitude) && std::isfinite(h.longitude)) {
      fix = {double(h.latitude) * 180.0 / kPi, double(h.longitude) * 180.0 / kPi, true};
      positionSeen_ = true;
      tracks_.back().add(fix);
    }
    if (h.angle == kNoEchoAngle) return true;
    // The line as the feed will store it: head-up from the record before.
    const bool headUp = (shared_.lastCommandWord.load(std::memory_order_relaxed) >> 4) & 1;
    const int32_t line = lineIndexOf(h.angle, headUp);
    const bool sector = sectorModeOf(h.commandid);
    if (splitter_.startsTurn(line, sector)) {
      if (!endTurn(error)) return false;
    }
    sector_ = sector;
    sectorWidth_ = sectorWidthLinesOf(h.commandid);
    stepLines_ = stepLinesOf(h.commandid);
    feedPlaybackRecord(feed_, rec, *store_, job_.view, shared_, gps_);
    splitter_.add(line);
    fixes_.push_back(fix);
    timeMs_ = parseDataFooter(rec).timestamp;
    return true;
  }

  // The turn that just ended: painted and written when it is complete and chosen.
  bool endTurn(std::string* error) {
    if (splitter_.pings() == 0) return true;
    const bool complete = splitter_.complete(sector_, sectorWidth_, stepLines_);
    bool ok = true;
    if (!complete) {
      ++result_.incomplete;
    } else {
      ++turnNumber_;
      ok = turn(error);
    }
    splitter_.beginTurn();
    fixes_.clear();
    return ok;
  }

  bool chosen() const {
    if (job_.lastOnly) return true;
    return turnNumber_ >= job_.firstTurn && turnNumber_ <= job_.lastTurn &&
           (turnNumber_ - job_.firstTurn) % job_.every == 0;
  }

  bool turn(std::string* error) {
    if (!chosen()) {
      ++result_.notSelected;
      return true;
    }
    // The middle ping's position: the head's mean place over the turn when it moves steadily.
    Fix centre = fixes_[fixes_.size() / 2];
    if (!centre.present && job_.latitudeDeg) centre = {*job_.latitudeDeg, *job_.longitudeDeg, true};
    if (!centre.present) {
      ++result_.noPosition;
      return true;
    }
    const bool recordHeading = shared_.compassFieldsPresent.load() && shared_.compassValid.load();
    if (!recordHeading && !job_.headingDeg) {
      if (error) {
        *error = stem_ + " turn " + std::to_string(turnNumber_) +
                 ": the records carry no usable compass heading: give --heading DEG";
      }
      return false;
    }
    if (job_.lastOnly && held_) ++result_.notSelected;
    paint(recordHeading);
    held_ = std::make_unique<Held>();
    held_->number = turnNumber_;
    held_->centre = centre;
    held_->pixels = layer_;
    held_->metresPerPixel = 1.0 / double(image_.pixelsPerMetre);
    return job_.lastOnly ? true : writeHeld(error);
  }

  void paint(bool recordHeading) {
    // Lines written by earlier turns but not by this one would show old echoes: clear them.
    bool cleared = false;
    for (int32_t line = 0; line < TurnSplitter::kLines; ++line) {
      if (splitter_.wrote(line)) {
        everWritten_[size_t(line)] = 1;
      } else if (everWritten_[size_t(line)]) {
        for (int32_t j = 0; j < kLineSamples; ++j) store_->put(line, j, 0);
        everWritten_[size_t(line)] = 0;
        cleared = true;
      }
    }
    if (cleared) markAllDegreesDirty(*store_);

    const int32_t rangeIndex = rangeIndexOf(shared_.currentRangeMm.load());
    if (!built_ || rangeIndex != image_.displayRangeIndex) {
      image_.displayRangeIndex = rangeIndex;
      image_.workerCount = 1;
      rebuildScanGeometry(image_, *store_, job_.view, shared_, job_.size, job_.size);
      buildPolar();
      built_ = true;
    }

    // The fixed mount's heading, through the same units and rounding as a compass field.
    const float recordRadians = shared_.headingRadians.load();
    const int32_t recordValid = shared_.compassValid.load();
    if (!recordHeading) {
      const int64_t units = 28800 - std::llround(*job_.headingDeg * 80.0);
      shared_.headingRadians.store(headingRadiansOf(units));
      shared_.compassValid.store(1);
    }
    paintScanImage(image_, *store_, job_.view, shared_, timeMs_, canvas_.data());
    const Rotation rot = northUpRotation(shared_);
    shared_.headingRadians.store(recordRadians);
    shared_.compassValid.store(recordValid);

    // Opaque where this turn's lines are shown, within the range; see-through elsewhere.
    const float limit = samplePosition(float(kDisplayRangesMm[rangeIndex]) / 1000.0f);
    for (size_t i = 0; i < layer_.size(); ++i) {
      const float fraction = polarAngle_[i];
      uint32_t px = 0;
      if (fraction < 0.0f) {
        px = 0xFF000000u | canvas_[i];  // the head itself
      } else if (polarSample_[i] < limit) {
        int32_t first = 0;
        float t = 0.0f;
        linePosition(fraction, rot, first, t);
        const int32_t next = first + 1 == kLinesPerTurn ? 0 : first + 1;
        if (splitter_.wrote(first) && (t == 0.0f || splitter_.wrote(next))) {
          px = 0xFF000000u | (canvas_[i] & 0xFFFFFFu);
        }
      }
      layer_[i] = px;
    }
  }

  // Direction and sample position of every pixel, as the engine's map holds them.
  void buildPolar() {
    const int32_t n = job_.size;
    polarAngle_.resize(size_t(n) * size_t(n));
    polarSample_.resize(polarAngle_.size());
    for (int32_t y = 0; y < n; ++y) {
      for (int32_t x = 0; x < n; ++x) {
        const PixelPolar p = pixelPolarOf(x, y, image_.panX, image_.panY, n, image_.pixelsPerMetre,
                                          job_.view.zeroOffset);
        const size_t i = size_t(y) * size_t(n) + size_t(x);
        polarAngle_[i] = p.rangeMetres < 0.0f ? -1.0f : p.angleFraction;
        polarSample_[i] = p.rangeMetres < 0.0f ? 0.0f : samplePosition(p.rangeMetres);
      }
    }
  }

  bool writeHeld(std::string* error) {
    if (!held_) return true;
    char number[16];
    std::snprintf(number, sizeof number, "%04d", held_->number);
    const std::string name = stem_ + "_turn" + number;
    const std::string base = pathToUtf8(pathFromUtf8(job_.dir) / pathFromUtf8(name));
    const int32_t c = job_.size / 2 - image_.panX;
    const MapFrame frame =
        mapFrame(held_->centre.lat, held_->centre.lon, held_->metresPerPixel, job_.size, c);
    outputs_.add(base + ".png");
    if (!writePngArgb(base + ".png", held_->pixels.data(), job_.size, job_.size, job_.size,
                      error) ||
        !writeText(base + ".pgw", worldFileText(frame), outputs_, error) ||
        !writeText(base + ".prj", wgs84PrjText(), outputs_, error)) {
      return false;
    }
    overlays_.push_back({name, name + ".png", mapBox(frame)});
    ++result_.written;
    held_.reset();
    return true;
  }

  bool writeKml(std::string* error) {
    std::string k =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<name>SK720 survey</name>\n";
    for (const Overlay& o : overlays_) {
      k += "<GroundOverlay>\n<name>" + xmlEscaped(o.name) + "</name>\n<Icon><href>" +
           xmlEscaped(o.png) + "</href></Icon>\n<LatLonBox>\n<north>" + degreesText(o.box.north) +
           "</north>\n<south>" + degreesText(o.box.south) + "</south>\n<east>" +
           degreesText(o.box.east) + "</east>\n<west>" + degreesText(o.box.west) +
           "</west>\n<rotation>0</rotation>\n</LatLonBox>\n</GroundOverlay>\n";
    }
    for (Track& t : tracks_) {
      // Recordings without positions stand where --position puts them.
      if (t.points.empty() && job_.latitudeDeg)
        t.add({*job_.latitudeDeg, *job_.longitudeDeg, true});
      if (t.points.empty()) continue;
      k += "<Placemark>\n<name>" + xmlEscaped(t.name) + " track</name>\n";
      k += t.points.size() == 1 ? "<Point>" : "<LineString>\n<tessellate>1</tessellate>";
      k += "\n<coordinates>";
      for (const Fix& f : t.points) k += degreesText(f.lon) + "," + degreesText(f.lat) + ",0 ";
      k += "</coordinates>\n";
      k += t.points.size() == 1 ? "</Point>" : "</LineString>";
      k += "\n</Placemark>\n";
    }
    k += "</Document>\n</kml>\n";
    return writeText(pathToUtf8(pathFromUtf8(job_.dir) / "map.kml"), k, outputs_, error);
  }

  struct Held {
    int32_t number = 0;
    Fix centre;
    double metresPerPixel = 0.0;
    std::vector<uint32_t> pixels;
  };

  const MapJob& job_;
  MapResult& result_;
  Outputs& outputs_;
  std::unique_ptr<LineStore> store_;
  ScanInputs shared_;
  GpsFix gps_;
  PlaybackFeedState feed_;
  ScanImage image_;
  bool built_ = false;
  std::vector<uint32_t> canvas_, layer_;
  std::vector<float> polarAngle_, polarSample_;
  std::vector<uint8_t> everWritten_ = std::vector<uint8_t>(TurnSplitter::kLines, 0);
  TurnSplitter splitter_;
  std::vector<Fix> fixes_;
  std::vector<Overlay> overlays_;
  std::vector<Track> tracks_;
  std::unique_ptr<Held> held_;
  std::string stem_;
  int32_t turnNumber_ = 0;
  bool sector_ = false;
  int32_t sectorWidth_ = 3200, stepLines_ = 1;
  uint32_t timeMs_ = 0;
  bool positionSeen_ = false;
};

// The folder exists (made if need be) and takes a file.
bool prepareFolder(const std::string& dir, std::string* error) {
  std::error_code ec;
  const fs::path p = pathFromUtf8(dir);
  fs::create_directories(p, ec);
  if (ec || !fs::is_directory(p)) {
    if (error)
      *error = "cannot make the folder " + dir + ": " + (ec ? ec.message() : "not a folder");
    return false;
  }
  const fs::path probe = p / ".sk720-export-probe";
  {
    std::ofstream f(probe, std::ios::binary | std::ios::trunc);
    f << "x";
    f.close();
    if (!f) {
      fs::remove(probe, ec);
      if (error) *error = "cannot write into " + dir;
      return false;
    }
  }
  fs::remove(probe, ec);
  return true;
}

}  // namespace

bool exportMap(const MapJob& job, MapResult& result, std::string* error) {
  // Everything that can be checked before the work: the inputs open, their names do not clash,
  // the folder takes files.
  std::vector<std::string> stems;
  for (const std::string& path : job.files) {
    if (!readableFile(path, error)) return false;
    const std::string stem = recordingStem(path);
    for (const std::string& s : stems) {
      if (s == stem) {
        if (error)
          *error = "two recordings named " + stem + ": their turns would overwrite each other";
        return false;
      }
    }
    stems.push_back(stem);
  }
  // A refused export leaves nothing behind: the folders it made go again, while still empty.
  std::vector<fs::path> made;
  for (fs::path p = pathFromUtf8(job.dir); !p.empty(); p = p.parent_path()) {
    std::error_code probe;  // a folder that cannot be looked at is not ours to remove either
    if (fs::exists(p, probe) || probe || p == p.parent_path()) break;
    made.push_back(p);
  }
  const auto removeMade = [&made] {
    std::error_code ec;
    for (const fs::path& p : made) fs::remove(p, ec);
  };
  if (!prepareFolder(job.dir, error)) {
    removeMade();
    return false;
  }
  {
    Outputs outputs(result.outputs);
    auto exporter = std::make_unique<MapExporter>(job, result, outputs);
    if (exporter->run(error)) {
      outputs.commit();
      return true;
    }
  }
  removeMade();  // after the outputs' own clean-up
  return false;
}

}  // namespace sk720::cli
