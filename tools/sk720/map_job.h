#pragma once
// Record files to north-up map layers: one PNG per complete turn or sector sweep, with its world
// file and .prj, and one KML that opens them all with the head's track.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/view_settings.h"
#include "sk720/progress.h"

namespace sk720::cli {

struct MapJob {
  std::vector<std::string> files;
  std::string dir;
  int32_t size = 1024;  // pixels, square
  int32_t every = 1;    // one turn in N
  bool lastOnly = false;
  int32_t firstTurn = 1, lastTurn = INT32_MAX;  // turn numbers within each recording
  std::optional<double> headingDeg;             // where the head's zero points, for a fixed mount
  std::optional<double> latitudeDeg, longitudeDeg;
  ViewSettings view;
  ProgressLine* progress = nullptr;
};

struct MapResult {
  int32_t written = 0;
  int32_t notSelected = 0;
  int32_t noPosition = 0;
  int32_t incomplete = 0;
  uint64_t records = 0;
  std::vector<std::string> outputs;  // every file written, map.kml last
};

// False with one line in *error when the input or the folder will not do; nothing it wrote is
// left behind then.
bool exportMap(const MapJob& job, MapResult& result, std::string* error);

// The file exists and opens; otherwise one line in *error saying why not.
bool readableFile(const std::string& path, std::string* error);

// The name the turns of a recording take: its file name without folder and extension.
std::string recordingStem(const std::string& path);

}  // namespace sk720::cli
