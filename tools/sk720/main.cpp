// sk720: command-line companion of the control program.
#include <cstdio>
#include <cstring>

#include "sk720/commands.h"

namespace sk720::cli {

namespace {

const Command kCommands[] = {
    {"synth", "synth OUT.bin [--turns N] [--range-index I] [--step-index S] [--header 28|36|44] "
              "[--sector HEADING_INDEX,WIDTH_INDEX] [--head-up] [--seed N]", runSynth},
    {"info", "info FILE...", runInfo},
    {"render", "render FILE... -o OUT.png [--size W[xH]] [--range-index I] [--zero-offset DEG] "
               "[--palette brown|rainbow|default] [--contrast 1..10|auto] [--brightness 0..19] "
               "[--curve linear|log] [--gain-index 0..8] [--dead-zone-index 0..5] [--records N] "
               "[--overlays [--info] [--compass] [--ruler X1,Y1,X2,Y2] [--cursor X,Y]]",
     runRender},
#ifndef _WIN32
    {"headsim", "headsim --pty LINK|--port DEV [--baud N] [--header 28|36|44] [--corrupt RATE] "
                "[--drop RATE] [--garbage RATE] [--refuse-rate] [--silent] [--no-cmnd] "
                "[--stall-after N] [--pace] [--seed N] [--log FILE] [--verbose]", runHeadsim},
#endif
    {"nmea", "nmea FILE|- [--summary]", runNmea},
    {"capture", "capture --port DEV [--baud 921600] [--gps-port DEV --gps-baud 4800] [--out DIR] "
                "[--duration SECONDS] [--range-index I] [--step-index S] [--gain-index G] "
                "[--sector HEADING_INDEX,WIDTH_INDEX] [--no-record]", runCapture},
#ifndef _WIN32
    {"gpssim", "gpssim --pty LINK|--port DEV [--baud N]|--stdout [--rate HZ] [--talker GP|GN] "
               "[--start LAT,LON] [--speed KNOTS] [--course DEG] [--bad-checksum RATE] [--chunks] "
               "[--lf-only] [--count N] [--seed N]", runGpssim},
#endif
};

void usage() {
  std::fprintf(stderr, "usage: sk720 COMMAND [options]\n");
  for (const Command& c : kCommands) std::fprintf(stderr, "  sk720 %s\n", c.usage);
}

}  // namespace
}  // namespace sk720::cli

int main(int argc, char** argv) {
  using namespace sk720::cli;
  if (argc < 2) {
    usage();
    return 2;
  }
  for (const Command& c : kCommands) {
    if (std::strcmp(argv[1], c.name) == 0) return c.run(Args(argv + 2, argv + argc));
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    usage();
    return 0;
  }
  usage();
  return fail(std::string("unknown command '") + argv[1] + "'");
}
