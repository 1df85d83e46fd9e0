// The window-free side of the GPS transfers and exchange files: the command
// lines of both transfer programs, the route number of the input box, a
// track file taken as a route, and the name of a downloaded track.
#include <sys/stat.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "foundation/GenUtil.h"
#include "navobjects/RouteFiles.h"
#include "plotter/core/GpsTransfer.h"

namespace {

TEST(GpsTransfer, CommandLinesOfBothPrograms) {
  const std::string dir = "/data dir/";
  const std::string g7t = "/data dir/$$G7TO$$.G7T";
  const std::string gpx = "/data dir/$$G7TO$$.GPX";
  const struct {
    TGpsCommand command;
    std::string classic;
    std::vector<std::string> babel;
  } cases[] = {
      {TGpsCommand::SendPositions, g7t + ",w,GPS", {"-w", "-i", "gpx", "-f", gpx, "-o", "garmin", "-F", "/dev/ttyUSB0"}},
      {TGpsCommand::SendRoute, g7t + ",r,GPS", {"-r", "-i", "gpx", "-f", gpx, "-o", "garmin", "-F", "/dev/ttyUSB0"}},
      {TGpsCommand::GetPositions, "GPSw,," + g7t, {"-w", "-i", "garmin", "-f", "/dev/ttyUSB0", "-o", "gpx", "-F", gpx}},
      {TGpsCommand::GetRoute, "GPSr,," + g7t, {"-r", "-i", "garmin", "-f", "/dev/ttyUSB0", "-o", "gpx", "-F", gpx}},
      {TGpsCommand::GetTrack, "GPSt,," + g7t, {"-t", "-i", "garmin", "-f", "/dev/ttyUSB0", "-o", "gpx", "-F", gpx}},
  };
  for (const auto& c : cases) {
    const TTransferPlan classic = PlanTransfer(c.command, "/opt/G7ToWin.sh", dir, "/dev/ttyUSB0", "garmin");
    EXPECT_FALSE(classic.gpx);
    EXPECT_EQ(classic.exchangeFile, g7t);
    EXPECT_EQ(classic.args, std::vector<std::string>{c.classic});
    const TTransferPlan babel = PlanTransfer(c.command, "/usr/bin/gpsbabel", dir, "/dev/ttyUSB0", "garmin");
    EXPECT_TRUE(babel.gpx);
    EXPECT_EQ(babel.exchangeFile, gpx);
    EXPECT_EQ(babel.args, c.babel);
  }
  // The protocol is one argument of plain characters; anything else from
  // the settings file is not passed on.
  EXPECT_EQ(GpsbabelArguments(TGpsCommand::GetTrack, "f.gpx", "usb:", "garmin,get_posn")[2], "garmin,get_posn");
  for (const char* odd : {"", "-x", "gpx -F /etc/passwd", "garmin;rm", "a\nb"})
    EXPECT_EQ(GpsbabelArguments(TGpsCommand::GetTrack, "f.gpx", "usb:", odd)[2], "garmin") << odd;
  EXPECT_TRUE(IsGpsbabel("gpsbabel"));
  EXPECT_TRUE(IsGpsbabel("/usr/local/bin/GPSBabel"));
  EXPECT_FALSE(IsGpsbabel("/opt/gpsbabel/G7ToWin.exe"));
}

TEST(GpsTransfer, TheProgramIsFoundByPathOrOnPath) {
  TTempDir dir;
  WriteTestFile(dir / "gpsbabel", "#!/bin/sh\n");
  ::chmod((dir / "gpsbabel").c_str(), 0755);
  WriteTestFile(dir / "G7ToWin.exe", "MZ");  // not executable
  const std::string path = "/nonexistent:" + dir.path();
  EXPECT_EQ(FindTransferProgram("/base/gpsbabel", "gpsbabel", path), dir / "gpsbabel");
  EXPECT_EQ(FindTransferProgram(dir / "gpsbabel", dir / "gpsbabel", ""), dir / "gpsbabel");
  EXPECT_EQ(FindTransferProgram("/base/gpsbabel", "gpsbabel", "/nonexistent"), "");
  EXPECT_EQ(FindTransferProgram(dir / "G7ToWin.exe", dir / "G7ToWin.exe", path), "");
}

TEST(GpsTransfer, RouteNumbers) {
  const struct {
    const char* text;
    int number;  // -1: refused
  } cases[] = {{"0", 0}, {"1", 1}, {" 7 ", 7}, {"07", 7}, {"99", 99}, {"100", -1}, {"abc", -1},
               {"", -1}, {"-1", -1}, {"1.5", -1}, {"4294967303", -1}, {"7x", -1}};
  for (const auto& c : cases) {
    const std::optional<int> n = ParseRouteNumber(c.text);
    EXPECT_EQ(n ? *n : -1, c.number) << "'" << c.text << "'";
  }
}

TEST(GpsTransfer, TrackFileAsRoutePoints) {
  auto rec = [](double latDeg, double sog) {
    TTrcRecord r;
    r.Pos = {static_cast<int32_t>(latDeg * 60000), 18 * 60000};
    r.SOG = sog;
    r.Time = 45000;
    return EncodeTrcRecord(r);
  };
  std::string bytes;
  const double speeds[] = {0, 5.5, 1e30, -3};
  for (int i = 0; i < 16; ++i) bytes += rec(59 + i * 0.01, speeds[i % 4]);
  bytes += std::string(29, '\x7f');  // a record cut short
  ASSERT_EQ(bytes.size(), 509u);
  const double xte = 2e-5;
  const TRoutePoints points = TrackRoutePoints(bytes, xte);
  ASSERT_EQ(points.size(), 16u);
  for (size_t i = 0; i < points.size(); ++i) {
    EXPECT_TRUE(points[i].Name.empty());
    EXPECT_DOUBLE_EQ(points[i].LegXTE, xte);
    EXPECT_NEAR(points[i].Position.Y, (59 + i * 0.01) * M_PI / 180, 1e-9);
    EXPECT_DOUBLE_EQ(points[i].LegSpeed, i % 4 == 1 ? 5.5 : 0.1) << i;
  }
  // Not a track: nothing.
  EXPECT_TRUE(TrackRoutePoints(std::string(60, '\x7f'), xte).empty());
  EXPECT_TRUE(TrackRoutePoints("", xte).empty());
}

TEST(GpsTransfer, DownloadedTrackNames) {
  TDateTime day = 0;
  ASSERT_TRUE(TryEncodeDate(2024, 6, 15, day));
  day += 0.5;
  std::set<std::string> taken;
  auto exists = [&](const std::string& f) { return taken.count(f) > 0; };
  // Inside the directory, with or without its final separator.
  EXPECT_EQ(DownloadTrackName("/base/TRACES", day, exists), "/base/TRACES/20240615-G7T (1).TRC");
  EXPECT_EQ(DownloadTrackName("/base/TRACES/", day, exists), "/base/TRACES/20240615-G7T (1).TRC");
  taken.insert("/t/20240615-G7T (1).TRC");
  EXPECT_EQ(DownloadTrackName("/t", day, exists), "/t/20240615-G7T (2).TRC");
  // All of 1 to 1000 taken: a fresh name, never one of them.
  for (int n = 1; n <= 1000; ++n) taken.insert("/t/20240615-G7T (" + std::to_string(n) + ").TRC");
  EXPECT_EQ(DownloadTrackName("/t", day, exists), "/t/20240615-G7T (1001).TRC");
}

TEST(GpsTransfer, ExchangeFormatByExtension) {
  for (const char* f : {"a.G7T", "/x/b.g7t", "c.G7t"}) EXPECT_TRUE(IsExchangeFile(f)) << f;
  for (const char* f : {"a.TXT", "G7T", "a.G7T.txt", "a.g7"}) EXPECT_FALSE(IsExchangeFile(f)) << f;
}

}  // namespace
