// The JSON lines of "brtool nmea".
#include <string>
#include <vector>

#include "NMEATestUtil.h"
#include "instruments/NMEAReport.h"

namespace {

TEST_F(TNmeaFixture, ReportsWhatEachSentenceSet) {
  std::vector<std::string> lines;
  parser.OnAccepted = [&](const TNdxString& s) { lines.push_back(SentenceReportJson(parser, s)); };
  SendBody("INRMC,194101,A,4426.1130,N,07140.5596,W,5.2,77.3,160906,15.8,W");
  SendBody("INGGA,194104,4426.1138,N,07140.5536,W,2,10,0.9,267.9,M,,,,");
  SendBody("SDDBT,7.7,f,2.3,M,1.3,F");
  SendBody("IIMWV,338,R,13.41,N,V");
  SendBody("PGRMZ,12,f,3");
  Send(Nmea("AIVDM,1,1,,B,D02R3d@6dNfp00O6D2,4", '!'));
  SendBody("II\"\xe5\\,1");
  const std::vector<std::string> want = {
      R"({"talker":"IN","id":"RMC","fix":4,"utc":"2006-09-16T19:41:01Z","lat":44.435216667,)"
      R"("lon":-71.675993333,"sog":5.200,"cog":77.3000,"heading":77.3000,"magcourse":93.1000,"var":-15.8000})",
      R"({"talker":"IN","id":"GGA","quality":2,"sats":10,"hdop":0.90,"alt":267.90,"dgps_age":0,"dgps_station":0})",
      R"({"talker":"SD","id":"DBT","depth":2.300})",
      R"({"talker":"II","id":"MWV","awa":0.0000,"aws":0.000,"twa":0.0000,"tws":0.000,"twd":0.0000,"vmg":5.200})",
      R"({"talker":"PG","id":"RMZ"})",
      R"({"talker":"AI","id":"VDM"})",
      R"({"talker":"II","id":"\"\u00e5\\"})",
  };
  EXPECT_EQ(lines, want);
  EXPECT_EQ(IsoDateTime(0), "1899-12-30T00:00:00Z");
  EXPECT_EQ(IsoDateTime(45658.5 + 0.4 / 86400), "2025-01-01T12:00:00Z");
}

}  // namespace
