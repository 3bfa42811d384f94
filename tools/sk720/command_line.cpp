// sk720's command line: the command table with each command's options, help and version.
#include <cstdio>

#include "sk720/commands.h"
#include "sk720/help_text.h"

#ifndef SK720_VERSION
#define SK720_VERSION "unknown"
#endif

namespace sk720::cli {

namespace {

// The lists behind the index options, written out once so that every command says the same.
#define SK720_HEAD_RANGES \
  "0 to 14: 1.5, 2.5, 3, 5, 6, 7.5, 10, 15, 20, 30, 45, 60, 100, 120 or 150 m"
#define SK720_HEAD_STEPS                                                                       \
  "the head's Speed, as the sonar settings dialog calls it: the turn per ping, 0 to 5: stop, " \
  "0.1125, 0.225, 0.45, 0.9 or 1.8 degrees"
#define SK720_SECTOR                                                                          \
  "sweep a sector instead of whole turns: its centre 0 to 7 (0, 45, 90 ... 315 degrees) and " \
  "its width 0 to 3 (45, 90, 135 or 180 degrees)"

const OptionHelp kSynthOptions[] = {
    {"OUT.bin", "the record file to write (replaced if it exists)"},
    {"--turns N",
     "whole turns, or sweeps across a sector and back, to write; the file may not "
     "pass 2 GB (default 1)"},
    {"--range-index I", "the head's range, " SK720_HEAD_RANGES " (default 6: 10 m)"},
    {"--step-index S", SK720_HEAD_STEPS " (default 1: 0.1125 degrees)"},
    {"--header 28|36|44",
     "bytes of record header: 44 carries the position and the compass, 36 "
     "the compass only (default 44)"},
    {"--sector H,W", SK720_SECTOR " (default: whole turns)"},
    {"--head-up", "the head mounted pointing up, so that it turns the other way (default: down)"},
    {"--seed N", "seed of the scene's speckle; the same seed writes the same file (default 1)"},
    {"--turning DEG",
     "the boat turns at DEG degrees a second, -360 to 360, for the compass and "
     "gyro fields (default 0)"},
    {"--position LAT,LON",
     "hold the head at this place, in degrees north and east (default: drifting from a fixed "
     "start)"},
    {"--track BEARING,SPEED",
     "with --position: move the head along a line, bearing in degrees from north and speed in "
     "metres a second"},
    {"--heading DEG",
     "a fixed heading, in degrees clockwise from north (default: swinging about 30)"},
    {"--compass MODE",
     "agree: compass and gyro agree; none: no compass fields; gyro-offset: the gyro reads 45 "
     "degrees off the compass (default agree)"},
    {"--target BEARING,RANGE",
     "a strong point target fixed in the world, bearing in degrees from north and range in "
     "metres (default: none)"},
};

const OptionHelp kInfoOptions[] = {
    {"FILE...", "record files; one summary each, and a total for several"},
};

const OptionHelp kRenderOptions[] = {
    {"FILE...", "record files, played in the order given"},
    {"-o, --output OUT.png", "the picture to write (required)"},
    {"--size W[xH]",
     "the picture in pixels, 1 to 4096 each way; W alone makes it square "
     "(default 1024, i.e. 1024x1024)"},
    {"--range-index I",
     "the display range, " SK720_HEAD_RANGES " (default: the range of the last echo line)"},
    {"--zero-offset DEG",
     "turns the picture by DEG degrees, -3600 to 3600, as the view dialog's zero offset does "
     "(default 0)"},
    {"--palette NAME", "brown, rainbow or default (default brown)"},
    {"--contrast C", "1 to 10, or auto to follow the echoes as the program does (default 5)"},
    {"--brightness B", "0 to 19 (default 3)"},
    {"--curve linear|log", "the colour curve (default linear)"},
    {"--gain-index G",
     "the display gain 0 to 8: x0.5, x1.0, x1.2, x1.5, x1.7, x2.0, x4.0, x6.0 "
     "or x8.0 on every echo value (default 1: x1.0)"},
    {"--dead-zone-index D",
     "blanks the start of each line, 0 to 5: the view dialog's 0.0, 0.1, "
     "0.2, 0.3, 0.6 or 1.0 m, i.e. 0, 10, 20, 30, 60 or 100 samples "
     "(default 3)"},
    {"--records N", "use only the first N valid records (default: all)"},
    {"--overlays",
     "draw the range rings, spokes and the pointer over the picture (the Linux "
     "build only; the Windows sk720.exe refuses it)"},
    {"--info", "with --overlays: the information strip at the top"},
    {"--compass",
     "with --overlays: the compass marks and heading dial, from records that carry "
     "a heading"},
    {"--ruler X1,Y1,X2,Y2",
     "with --overlays: a ruler between two points, in pixels from the "
     "picture's top left corner; both inside the picture"},
    {"--cursor X,Y",
     "with --overlays: the mouse pointer at a point of the picture, in pixels "
     "from its top left corner"},
};

const OptionHelp kVideoOptions[] = {
    {"FILE...", "recordings, played one after another as Open File plays them"},
    {"-o, --output OUT.mp4", "the video to write, H.264 in MP4 (required)"},
    {"--speed 1|2|4|8|16",
     "the playback speed: one record per 50 ms divided by it, as the program's speed button "
     "(default 4)"},
    {"--fps N", "frames per second of played time, 1 to 60 (default 25)"},
    {"--size WxH", "the frame in pixels, even numbers from 64 to 4096 (default 1280x720)"},
    {"--from T", "seconds of played time before the first frame (default 0)"},
    {"--to T", "seconds of played time of the last frame (default: the end)"},
    {"--turns N", "stop after the first N complete turns of the head (default: every turn)"},
    {"--range-index I",
     "the display range, " SK720_HEAD_RANGES " (default: the range of each file's lines)"},
    {"--zero-offset DEG", "turns the picture by DEG degrees, -3600 to 3600 (default 0)"},
    {"--palette NAME", "brown, rainbow or default (default brown)"},
    {"--contrast C", "1 to 10, or auto to follow the echoes as the program does (default 5)"},
    {"--brightness B", "0 to 19 (default 3)"},
    {"--curve linear|log", "the colour curve (default linear)"},
    {"--gain-index G", "the display gain 0 to 8, as render's --gain-index (default 1: x1.0)"},
    {"--dead-zone-index D", "blanks the start of each line, 0 to 5, as render's (default 3)"},
    {"--overlays", "draw the range rings, spokes and the pointer (default off)"},
    {"--info", "with --overlays: the information strip, naming the file being played"},
    {"--compass", "with --overlays: the compass marks and heading dial"},
};

const OptionHelp kExportOptions[] = {
    {"FILE...", "recordings, in the order they were made"},
    {"--map DIR",
     "one north-up PNG per complete turn (or sector sweep), each with a world file (.pgw) and "
     "a WGS 84 .prj, and DIR/map.kml with every turn and the head's track"},
    {"--table OUT",
     "one row per ping instead; CSV for a .csv name, JSON lines for .jsonl or .json"},
    {"--samples", "with --table: the echo amplitudes too"},
    {"--turns WHICH", "all, last or FIRST-LAST, numbered per recording from 1 (default all)"},
    {"--every N", "with --map: one turn in N (default 1)"},
    {"--size PX",
     "with --map: the side of each square picture in pixels, 16 to 4096 (default "
     "1024)"},
    {"--heading DEG",
     "where the head's zero points, in degrees clockwise from north, for records without a "
     "usable compass (default: from the records)"},
    {"--position LAT,LON",
     "the head's place in degrees, north and east positive, for records without a position "
     "(default: from the records)"},
    {"--palette NAME", "brown, rainbow or default (default brown)"},
    {"--contrast C", "1 to 10, or auto (default 5)"},
    {"--brightness B", "0 to 19 (default 3)"},
    {"--curve linear|log", "the colour curve (default linear)"},
    {"--gain-index G", "the display gain 0 to 8, as render's --gain-index (default 1: x1.0)"},
    {"--dead-zone-index D", "blanks the start of each line, 0 to 5, as render's (default 3)"},
    {"--zero-offset DEG", "turns the head's zero on the picture, in degrees (default 0)"},
};

const OptionHelp kHeadsimOptions[] = {
    {"--pty LINK",
     "serve on a new pseudo-terminal; LINK becomes a symbolic link to it, and its "
     "path is printed on stdout"},
    {"--port DEV", "serve on a serial device instead"},
    {"--baud N", "the device's rate before the head is told to switch (default 115200)"},
    {"--header 28|36|44", "bytes of record header sent (default 44)"},
    {"--corrupt RATE", "share of records, 0 to 1, with one byte changed (default 0)"},
    {"--drop RATE", "share of records, 0 to 1, not sent at all (default 0)"},
    {"--garbage RATE", "share of records, 0 to 1, preceded by a few noise bytes (default 0)"},
    {"--refuse-rate", "refuse every rate switch"},
    {"--silent", "answer nothing at all"},
    {"--no-cmnd", "leave work mode without announcing it"},
    {"--keep-alive-timeout MS",
     "leave work mode after MS milliseconds without a keep-alive (default 3000)"},
    {"--stall-after N", "after N records, stop in the middle of the next one (default: never)"},
    {"--ignore-params-after N",
     "after N parameter loads, stop answering at the next parameter block (default: never)"},
    {"--pace",
     "send records at the time they take on the wire at the link rate (default: as "
     "fast as the device takes them)"},
    {"--seed N", "seed of the scene and of the faults (default 1)"},
    {"--log FILE", "write one line per record sent: index, angle, length, checksum"},
    {"--verbose", "print the protocol exchange on stderr"},
};

const OptionHelp kNmeaOptions[] = {
    {"FILE|-", "an NMEA log, or - for standard input (a receiver's pseudo-terminal works too)"},
    {"--summary", "print only one line counting applied and dropped sentences"},
};

const OptionHelp kCaptureOptions[] = {
    {"--port DEV", "the head's serial device (required)"},
    {"--baud N",
     "the rate the head is switched to after connecting: 115200, 230400, 460800, "
     "921600 or 1000000 (default 921600)"},
    {"--gps-port DEV",
     "a GPS receiver's serial device, whose position goes into the records "
     "(default: none)"},
    {"--gps-baud N", "the receiver's rate, 300 to 1000000 (default 4800)"},
    {"--out DIR",
     "the folder the record file rez720_YYYYMMDD_hhmmss.bin goes to, created if "
     "missing (default: the current folder)"},
    {"--duration SECONDS", "stop after this many seconds (default: run until Ctrl-C)"},
    {"--range-index I", "the head's range, " SK720_HEAD_RANGES
                        " (default: the program's stored setting, else 6: 10 m)"},
    {"--step-index S", SK720_HEAD_STEPS " (default: the program's stored setting, else 1)"},
    {"--gain-index G",
     "the head's gain 0 to 10: +15, +12, +9, +6, +3, 0, -3, -6, -9, -12 or -15 "
     "dB (default: the program's stored setting, else 5: 0 dB)"},
    {"--sector H,W", SK720_SECTOR " (default: the program's stored setting, else whole turns)"},
    {"--no-record", "receive and count the pings without writing a file"},
};

const OptionHelp kGpssimOptions[] = {
    {"--pty LINK", "send on a new pseudo-terminal; LINK becomes a symbolic link to it"},
    {"--port DEV", "send on a serial device"},
    {"--baud N", "the device's rate (default 4800)"},
    {"--stdout", "send to standard output"},
    {"--rate HZ", "epochs per second, 0.01 to 50 (default 1)"},
    {"--talker GP|GN", "the talker of GGA, GSA, RMC and VTG (default GP)"},
    {"--start LAT,LON",
     "the start position in degrees, north and east positive (default "
     "35.095,129.04)"},
    {"--speed KNOTS", "the vessel's speed, 0 to 1000 knots (default 5)"},
    {"--course DEG", "the vessel's course, 0 to 360 degrees clockwise from north (default 45)"},
    {"--bad-checksum RATE", "share of sentences, 0 to 1, sent with a wrong checksum (default 0)"},
    {"--chunks", "send each epoch in small pieces with short gaps"},
    {"--lf-only", "end lines with LF alone instead of CR LF"},
    {"--count N", "stop after N epochs (default: run until Ctrl-C)"},
    {"--seed N", "seed of the faults and gaps (default 1)"},
};

const Command kCommands[] = {
    {"synth", "synthesise a recording of the simulated scene", "OUT.bin [options]", kSynthOptions,
     runSynth},
    {"info", "summarise record files: pings, ranges, turns, compass and positions", "FILE...",
     kInfoOptions, runInfo},
    {"render", "paint record files into a PNG scan image, as the scan view does",
     "FILE... -o OUT.png [options]", kRenderOptions, runRender},
    {"export", "put recordings on the map (north-up PNG, world files, KML) or into a ping table",
     "FILE... --map DIR [options] | FILE... --table OUT.csv|OUT.jsonl [--samples]", kExportOptions,
     runExport},
    {"video", "play record files into an H.264 MP4 video, as the scan view shows them",
     "FILE... -o OUT.mp4 [options]", kVideoOptions, runVideo},
#ifndef _WIN32
    {"headsim", "serve the head's side of the link with the simulated scene",
     "--pty LINK|--port DEV [options]", kHeadsimOptions, runHeadsim},
#endif
    {"nmea", "decode an NMEA log into one JSON line per applied sentence", "FILE|- [--summary]",
     kNmeaOptions, runNmea},
    {"capture", "connect to a head, load its parameters and record its pings",
     "--port DEV [options]", kCaptureOptions, runCapture},
#ifndef _WIN32
    {"gpssim", "simulate a GPS receiver", "--pty LINK|--port DEV|--stdout [options]",
     kGpssimOptions, runGpssim},
#endif
};

bool asksForHelp(const Args& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

const Command* findCommand(const std::string& name) {
  for (const Command& c : kCommands) {
    if (name == c.name) return &c;
  }
  return nullptr;
}

int unknownCommand(const std::string& name) {
  return fail(name, "unknown command", "sk720 --help lists the commands");
}

}  // namespace

std::span<const Command> commandTable() { return kCommands; }

int runCommandLine(const Args& args, std::FILE* out) {
  if (args.empty()) {
    std::fputs("sk720: no command given: sk720 --help lists the commands\n", stderr);
    return 2;
  }
  const std::string& name = args[0];
  if (name == "--help" || name == "-h" || (name == "help" && args.size() == 1)) {
    printProgramHelp(out);
    return 0;
  }
  if (name == "help") {
    const Command* c = findCommand(args[1]);
    if (!c) return unknownCommand(args[1]);
    printCommandHelp(out, *c);
    return 0;
  }
  if (name == "--version") {
    std::fprintf(out, "sk720 %s\n", SK720_VERSION);
    return 0;
  }
  const Command* c = findCommand(name);
  if (!c) return unknownCommand(name);
  const Args rest(args.begin() + 1, args.end());
  if (asksForHelp(rest)) {
    printCommandHelp(out, *c);
    return 0;
  }
  return c->run(rest);
}

int fail(const std::string& command, const std::string& what, const std::string& reason) {
  reportError(command, what, reason);
  return 2;
}

void reportError(const std::string& command, const std::string& what, const std::string& reason) {
  if (reason.empty()) {
    std::fprintf(stderr, "sk720: %s: %s\n", command.c_str(), what.c_str());
  } else {
    std::fprintf(stderr, "sk720: %s: %s: %s\n", command.c_str(), what.c_str(), reason.c_str());
  }
}

}  // namespace sk720::cli
