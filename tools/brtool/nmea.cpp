// brtool nmea FILE: feeds an NMEA log through the plotter's line assembler
// and parser and prints, for every accepted sentence, one JSON object with
// the sentence identifier and the navigation values it set (degrees, knots,
// metres, ISO 8601 UTC).
//
//   --checksum N     the "NMEA CheckSum" mode (default 1)
//   --priority off   decode every sentence on its own: the source priority
//                    (RMC over GGA over GLL, ...) is not applied, which is
//                    what other decoders such as gpsd do
#include <cstdio>
#include <string>

#include "Command.h"
#include "foundation/NumText.h"
#include "instruments/NMEA.h"
#include "instruments/NMEAReport.h"

namespace {

int RunNmea(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("nmea", args, {"checksum", "priority"}, opt)) return 2;
  if (opt.positional.size() != 1) {
    std::fprintf(stderr, "usage: brtool nmea FILE [--checksum N] [--priority on|off]\n");
    return 2;
  }
  TNMEALineBuffer buffer;
  TNMEA& parser = buffer.Parser();
  if (const std::string* v = opt.Get("checksum")) {
    auto mode = TryStrToInt(*v);
    if (!mode) {
      std::fprintf(stderr, "brtool nmea: --checksum needs a number\n");
      return 2;
    }
    parser.ChecksumMode = *mode;
  }
  bool priority = true;
  if (const std::string* v = opt.Get("priority")) {
    if (*v != "on" && *v != "off") {
      std::fprintf(stderr, "brtool nmea: --priority takes on or off\n");
      return 2;
    }
    priority = *v == "on";
  }
  if (!priority) parser.OnSentence = [&parser](std::string_view) { parser.Seen = 0; };
  parser.OnAccepted = [&parser](const TNdxString& sentence) {
    std::string line = SentenceReportJson(parser, sentence);
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), stdout);
  };

  const std::string& path = opt.positional[0];
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "brtool nmea: cannot open %s\n", path.c_str());
    return 1;
  }
  char block[4096];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f)) > 0) buffer.Feed(block, n);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  // A last sentence without a line end still counts.
  buffer.FeedText("\r\n");
  if (failed) {
    std::fprintf(stderr, "brtool nmea: read error in %s\n", path.c_str());
    return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

BrtoolCommand cmd{"nmea",
                  "nmea FILE               decode an NMEA log to JSON lines [--checksum N] [--priority on|off]",
                  RunNmea};

}  // namespace
