// brtool demo: the demo data set, made from nothing but this program.
//   demo make DIR [--voyage FILE.waypoints]
//        draws the two demo charts (an overview and a harbour plan of an
//        invented coast, marked "DEMO - NOT FOR NAVIGATION") as palette PNG
//        images with their calibration (DIR/source/*.png and *.cal),
//        converts each to a WCI chart as "brtool wci write" does
//        (DIR/charts/*.wci), sails the voyage of the waypoint list (the
//        built-in one unless --voyage names another) into DIR/voyage.nmea,
//        and writes the demo settings DIR/demo-settings.ini and a copy of
//        them as the data directory's settings file DIR/BRISMARE_2.INI.
//        The chart catalog is then built the way a user builds it:
//        BRISMARE_DIR=DIR teskor -SU
//   demo voyage FILE.waypoints OUT.nmea
//        only the NMEA text of a waypoint list
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Command.h"
#include "DemoCharts.h"
#include "DemoVoyage.h"
#include "DemoWorld.h"
#include "foundation/IniFile.h"
#include "foundation/NumText.h"
#include "platform/AtomicFile.h"
#include "plotter/core/FileNames.h"
#include "plotter/core/Replay.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: brtool demo make DIR [--voyage FILE.waypoints]\n"
               "       brtool demo voyage FILE.waypoints OUT.nmea\n"
               "  make: the demo charts (DIR/source, DIR/charts), the voyage (DIR/voyage.nmea) and the demo\n"
               "        settings (DIR/demo-settings.ini, copied to DIR/BRISMARE_2.INI); then build the\n"
               "        catalog with: BRISMARE_DIR=DIR teskor -SU\n"
               "  voyage: the NMEA text of a waypoint list (format: data/demo/voyage.waypoints)\n");
}

// The replay plays this many seconds or less at the plotter's one tick a
// second: the ticks read whole groups of sentences, as many fixes a tick as
// that takes.
constexpr int kReplaySeconds = 110;

int FixesPerTick(int fixes) {
  const int perTick = (fixes + kReplaySeconds - 1) / kReplaySeconds;
  return std::clamp(perTick, 1, kMaxReplayLinesPerTick / TDemoVoyage::kSentencesPerFix);
}

bool LoadPlan(const std::string* file, TDemoVoyagePlan& plan, std::string& error) {
  std::string text;
  if (file) {
    if (!ReadWholeFile(*file, text, &error)) {
      error = *file + ": " + error;
      return false;
    }
  } else {
    text = std::string(DemoDefaultVoyageText());
  }
  if (!ParseVoyagePlan(text, plan, error)) {
    error = (file ? *file : std::string("the built-in voyage")) + ", " + error;
    return false;
  }
  return true;
}

bool Sail(const TDemoWorld& world, const std::string* file, TDemoVoyage& voyage, std::string& error) {
  TDemoVoyagePlan plan;
  return LoadPlan(file, plan, error) && SailVoyage(world, plan, voyage, error);
}

// The demo settings: the charts and the voyage of the demo directory
// (paths relative to the data directory, so the directory may move),
// AUTOMATIC on, no serial port, a replay pace that sails the voyage in
// about two minutes, and the boat at the voyage's start.
std::string SettingsText(const TDemoVoyage& voyage) {
  const int perTick = FixesPerTick(voyage.Fixes);
  TIniFile ini = TIniFile::FromBytes(
      "; Settings of the brismare demo, written by \"brtool demo make\".\r\n"
      "; The plotter replays voyage.nmea (NMEA_SIMUL) at " +
      std::to_string(perTick) + " fixes a second (NMEA_SIMUL_READS + 1 lines a tick)\r\n" +
      "; and shows the charts of the catalog built from .\\charts with \"teskor -SU\".\r\n");
  const char* setup = "Program Setup";
  ini.WriteString(setup, "Chart Dir", ".\\charts");
  ini.WriteString(setup, "Track Dir", ".\\tracks");
  ini.WriteString(setup, "Route Dir", ".\\routes");
  ini.WriteString(setup, "WayPoint Dir", ".\\waypts");
  ini.WriteString(setup, "NMEA_SIMUL", ".\\voyage.nmea");
  ini.WriteInteger(setup, "NMEA_SIMUL_READS", perTick * TDemoVoyage::kSentencesPerFix - 1);
  ini.WriteInteger(setup, "Com Port", 0);
  ini.WriteBool(setup, "Auto Scroll", true);
  ini.WriteInteger(setup, "Show Time", 2);
  ini.WriteBool(setup, "Show Track", true);
  ini.WriteInteger(setup, "Track Time", 2);
  ini.WriteFloat(setup, "Track Distance", 30 / 1852.0 / kRadToNM);
  ini.WriteFloat(setup, "Depth Alarm", 2);
  ini.WriteInteger(setup, "Depth Show", 1);
  ini.WriteInteger(setup, "Wind Show", 2);
  ini.WriteBool(setup, "Compass Show", true);
  ini.WriteInteger(setup, "Boat Shape Marker", 1);
  ini.WriteInteger(setup, "Boat Size", 2);
  const char* state = "Program State";
  ini.WriteFloat(state, "Last Lat", voyage.Track.front().Y);
  ini.WriteFloat(state, "Last Long", voyage.Track.front().X);
  ini.WriteBool(state, "WinState", true);
  return ini.Text();
}

bool WriteFile(const std::string& path, const std::string& text, std::string& error) {
  if (AtomicWriteFile(path, text, &error)) return true;
  error = path + ": " + error;
  return false;
}

int RunMake(const std::string& dir, const std::string* voyageFile) {
  std::string error;
  auto fail = [&error] {
    std::fprintf(stderr, "brtool demo make: %s\n", error.c_str());
    return 1;
  };
  std::error_code ec;
  for (const char* sub : {"source", "charts"}) {
    std::filesystem::create_directories(std::filesystem::path(dir) / sub, ec);
    if (ec) {
      error = dir + "/" + sub + ": " + ec.message();
      return fail();
    }
  }
  const TDemoWorld world;
  TDemoVoyage voyage;
  if (!Sail(world, voyageFile, voyage, error)) return fail();

  // The charts as a user would make them: a calibrated image, converted to
  // WCI with the converter's own command.
  const BrtoolEntry* wci = nullptr;
  for (const BrtoolEntry& c : BrtoolCommands())
    if (c.name == "wci") wci = &c;
  if (!wci) {
    error = "the wci command is missing";
    return fail();
  }
  for (const TDemoChartPlan& plan : DemoChartPlans()) {
    const TDemoChart chart = DrawDemoChart(world, plan, 2025);
    if (!WriteDemoChart(chart, dir + "/source", error)) return fail();
    const std::string png = dir + "/source/" + plan.FileBase + ".png";
    const std::string out = dir + "/charts/" + plan.FileBase + ".wci";
    if (wci->run({"write", png, out, "--force"}) != 0) {
      error = "converting " + png + " failed";
      return fail();
    }
  }

  if (!WriteFile(dir + "/voyage.nmea", VoyageText(voyage), error)) return fail();
  const std::string settings = SettingsText(voyage);
  if (!WriteFile(dir + "/" + kSettingsFileName, settings, error)) return fail();
  // Written last: its presence says the directory is complete.
  if (!WriteFile(dir + "/demo-settings.ini", settings, error)) return fail();
  const int perTick = FixesPerTick(voyage.Fixes);
  std::printf("%s/voyage.nmea: %d fixes (%d s), replayed at %d fixes a tick (%d ticks)\n", dir.c_str(),
              voyage.Fixes, voyage.Fixes, perTick, (voyage.Fixes + perTick - 1) / perTick);
  std::printf("%s/%s: the demo settings (kept as demo-settings.ini)\n", dir.c_str(), kSettingsFileName);
  std::printf("next: BRISMARE_DIR=%s teskor -SU\n", dir.c_str());
  return 0;
}

int RunDemo(const BrtoolArgs& args) {
  BrtoolOptions opt;
  if (!ParseBrtoolOptions("demo", args, {"voyage"}, opt)) return 2;
  const std::vector<std::string>& p = opt.positional;
  if (p.size() == 2 && p[0] == "make") return RunMake(p[1], opt.Get("voyage"));
  if (p.size() == 3 && p[0] == "voyage" && !opt.Get("voyage")) {
    const TDemoWorld world;
    TDemoVoyage voyage;
    std::string error;
    if (!Sail(world, &p[1], voyage, error) || !WriteFile(p[2], VoyageText(voyage), error)) {
      std::fprintf(stderr, "brtool demo voyage: %s\n", error.c_str());
      return 1;
    }
    std::printf("%s: %d fixes, %d sentences\n", p[2].c_str(), voyage.Fixes, static_cast<int>(voyage.Sentences.size()));
    return 0;
  }
  Usage();
  return 2;
}

BrtoolCommand cmd{"demo",
                  "demo make DIR [--voyage FILE.waypoints] | demo voyage FILE.waypoints OUT.nmea\n"
                  "                          the demo charts, voyage and settings; a voyage from waypoints",
                  RunDemo};

}  // namespace
