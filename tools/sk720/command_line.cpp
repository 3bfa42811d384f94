// sk720's command line: the commands, their usage, help and version.
#include <cstdio>

#include "sk720/commands.h"

#ifndef SK720_VERSION
#define SK720_VERSION "unknown"
#endif

namespace sk720::cli {

namespace {

const Command kCommands[] = {
    {"synth", "synthesise a recording of the simulated scene",
     "synth OUT.bin [--turns N] [--range-index I] [--step-index S] [--header "
     "28|36|44] "
     "[--sector HEADING_INDEX,WIDTH_INDEX] [--head-up] [--seed N] [--position LAT,LON] "
     "[--track BEARING,SPEED] [--heading DEG] [--compass agree|none|gyro-offset] "
     "[--target BEARING,RANGE]",
     runSynth},
    {"info", "summarise record files", "info FILE...", runInfo},
    {"render", "paint record files into a PNG scan image, as the scan view does",
     "render FILE... -o OUT.png [--size W[xH]] [--range-index I] "
     "[--zero-offset DEG] "
     "[--palette brown|rainbow|default] [--contrast 1..10|auto] [--brightness "
     "0..19] "
     "[--curve linear|log] [--gain-index 0..8] [--dead-zone-index 0..5] "
     "[--records N] [--overlays [--info] [--compass] [--ruler X1,Y1,X2,Y2] [--cursor X,Y]]",
     runRender},
    {"export", "put recordings on the map (north-up PNG, world files, KML) or into a ping table",
     "export FILE... --map DIR [--turns all|last|FIRST-LAST] [--every N] [--size PX] "
     "[--heading DEG] [--position LAT,LON] [render's view options] | "
     "export FILE... --table OUT.csv|OUT.jsonl [--samples]",
     runExport},
#ifndef _WIN32
    {"headsim", "serve the head's side of the link with the simulated scene",
     "headsim --pty LINK|--port DEV [--baud N] [--header 28|36|44] [--corrupt "
     "RATE] "
     "[--drop RATE] [--garbage RATE] [--refuse-rate] [--silent] [--no-cmnd] "
     "[--stall-after N] [--pace] [--seed N] [--log FILE] [--verbose]",
     runHeadsim},
#endif
    {"nmea", "decode an NMEA log into one JSON line per applied sentence",
     "nmea FILE|- [--summary]", runNmea},
    {"capture", "connect to a head, load its parameters and record its pings",
     "capture --port DEV [--baud 921600] [--gps-port DEV --gps-baud 4800] "
     "[--out DIR] "
     "[--duration SECONDS] [--range-index I] [--step-index S] [--gain-index G] "
     "[--sector HEADING_INDEX,WIDTH_INDEX] [--no-record]",
     runCapture},
#ifndef _WIN32
    {"gpssim", "simulate a GPS receiver",
     "gpssim --pty LINK|--port DEV [--baud N]|--stdout [--rate HZ] [--talker "
     "GP|GN] "
     "[--start LAT,LON] [--speed KNOTS] [--course DEG] [--bad-checksum RATE] "
     "[--chunks] "
     "[--lf-only] [--count N] [--seed N]",
     runGpssim},
#endif
};

void listCommands(std::FILE* out) {
  std::fprintf(out,
               "usage: sk720 COMMAND [options]    sk720 COMMAND --help    "
               "sk720 --version\n");
  for (const Command& c : kCommands) std::fprintf(out, "  sk720 %s\n", c.usage);
}

bool asksForHelp(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

}  // namespace

int runCommandLine(const Args& args, std::FILE* out) {
  if (args.empty()) {
    listCommands(stderr);
    return 2;
  }
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || name == "help") {
    listCommands(out);
    return 0;
  }
  if (name == "--version") {
    std::fprintf(out, "sk720 %s\n", SK720_VERSION);
    return 0;
  }
  const Args rest(args.begin() + 1, args.end());
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    if (asksForHelp(rest)) {
      std::fprintf(out, "sk720 %s: %s\nusage: sk720 %s\n", c.name, c.summary, c.usage);
      return 0;
    }
    return c.run(rest);
  }
  listCommands(stderr);
  return fail("unknown command '" + name + "'");
}

}  // namespace sk720::cli
