// Line assembly: how byte streams are cut into sentences, and the replay file.
#include <chrono>
#include <string>
#include <vector>

#include "NMEATestUtil.h"
#include "TestSupport.h"

namespace {

// Every sentence the assembler hands to the parser (before any check).
std::vector<std::string> Assemble(std::string_view bytes, size_t chunk = 0) {
  TManualClock clock;
  TNMEALineBuffer buffer(nullptr, clock);
  std::vector<std::string> got;
  buffer.Parser().OnSentence = [&](std::string_view s) { got.emplace_back(s); };
  if (chunk == 0) chunk = bytes.size() ? bytes.size() : 1;
  for (size_t at = 0; at < bytes.size(); at += chunk) buffer.FeedText(bytes.substr(at, chunk));
  return got;
}

std::string Commas(int n) { return "$GPXXX" + std::string(static_cast<size_t>(n), ','); }

TEST(NMEALineBuffer, CutsStreamsIntoSentences) {
  using V = std::vector<std::string>;
  const std::string longest = "$" + std::string(253, 'A');  // 254 characters + CR = the limit
  struct Case {
    const char* name;
    std::string in;
    V out;
  } cases[] = {
      {"CR LF gives one sentence", "$GPHDT,1.0,T\r\n", V{"$GPHDT,1.0,T\r"}},
      {"LF alone ends a sentence", "$GPHDT,1.0,T\n", V{"$GPHDT,1.0,T\r"}},
      {"a '$' restarts assembly", "$GPGLL,5930.0$GPHDT,1,T\r\n", V{"$GPHDT,1,T\r"}},
      {"'!' inside a sentence is text", "!AIVDM,1!x\r", V{"!AIVDM,1!x\r"}},
      {"noise before the start is skipped", std::string("xx\x80\xff\r\n$GPHDT,1,T\n"), V{"$GPHDT,1,T\r"}},
      {"bytes above 127 are text", std::string("$GPHDT,\xb0\xff\x8d,T\r"), V{std::string("$GPHDT,\xb0\xff\x8d,T\r")}},
      {"NUL and tab end a sentence", std::string("$GPA\tB\r$GPC\0D\r", 15), V{"$GPA\r", "$GPC\r"}},
      {"an unfinished sentence is not delivered", "$GPHDT,1,T", V{}},
      {"the longest sentence fits", longest + "\r", V{longest + "\r"}},
      {"one more character is discarded", longest + "B\r$GPHDT,2,T\r", V{"$GPHDT,2,T\r"}},
      {"an overlong line is skipped to its end", "$" + std::string(400, 'A') + "!AIVDM\r!AIVDO\r", V{"!AIVDO\r"}},
      {"a '$' ends the skipping", "$" + std::string(400, 'A') + "$GPHDT,3,T\r", V{"$GPHDT,3,T\r"}},
      {"64 commas are kept", Commas(64) + "\r", V{Commas(64) + "\r"}},
      {"65 commas are discarded", Commas(65) + "\r$GPHDT,4,T\r", V{"$GPHDT,4,T\r"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Assemble(c.in), c.out) << c.name;
    // The same stream in pieces of any size gives the same sentences.
    for (size_t chunk : {1, 2, 3, 7}) EXPECT_EQ(Assemble(c.in, chunk), c.out) << c.name << ", chunk " << chunk;
  }
}

TEST(NMEALineBuffer, RecordsFieldPositions) {
  TManualClock clock;
  TNMEALineBuffer buffer(nullptr, clock);
  buffer.Parser().ChecksumMode = 2;
  buffer.FeedText("$GPABC,a,,bc*x*5C\r");
  const TNdxString& s = buffer.Parser().LastLine;
  EXPECT_EQ(s.View(), "$GPABC,a,,bc*x*5C\r");
  EXPECT_EQ(s.Length, 18);
  EXPECT_EQ(s.CommaCount, 3);
  EXPECT_EQ(s.CommaPos[1], 7);
  EXPECT_EQ(s.FirstStarPos, 13);
  EXPECT_EQ(s.StarPos, 15);
  EXPECT_EQ(s.Talker(), "GP");
  EXPECT_EQ(s.Identifier(), "ABC");
  EXPECT_EQ(s.Field(1), "a");
  EXPECT_EQ(s.Field(2), "");
  EXPECT_EQ(s.Field(3), "bc");
  EXPECT_EQ(s.Field(4), "");
  EXPECT_EQ(s.Field(0), "");
  EXPECT_EQ(s.Field(-1), "");
}

TEST(NMEALineBuffer, SourcesSharingAParserDoNotMix) {
  TManualClock clock;
  TNMEALineBuffer a(nullptr, clock);
  TNMEALineBuffer b(&a.Parser());  // takes the parser's clock
  EXPECT_TRUE(a.OwnsParser());
  EXPECT_FALSE(b.OwnsParser());
  std::vector<std::string> got;
  a.Parser().OnSentence = [&](std::string_view s) { got.emplace_back(s); };
  a.FeedText("$GPHDT,1");
  b.FeedText("$IIMTW,1");
  a.FeedText("2.5,T\r\n");
  b.FeedText("7.5,C\r\n");
  EXPECT_EQ(got, (std::vector<std::string>{"$GPHDT,12.5,T\r", "$IIMTW,17.5,C\r"}));
  EXPECT_EQ(a.LineCount(), 1);
  EXPECT_EQ(b.LineCount(), 1);
  clock.Advance(std::chrono::seconds(2));
  EXPECT_EQ(b.IdleTime(), std::chrono::seconds(2));
}

TEST(NMEALineBuffer, IdleTimeRunsOnTheMonotonicClock) {
  TManualClock clock;
  TNMEALineBuffer buffer(nullptr, clock);
  clock.Advance(std::chrono::seconds(30));
  EXPECT_EQ(buffer.IdleTime(), std::chrono::seconds(30));
  buffer.FeedText("$GPHDT,1");  // a sentence not yet complete does not count
  clock.SetUTC(clock.NowUTC() - 1.0);  // a wall clock change neither
  EXPECT_EQ(buffer.IdleTime(), std::chrono::seconds(30));
  buffer.FeedText(",T\r");
  EXPECT_EQ(buffer.IdleTime(), std::chrono::seconds(0));
  clock.Advance(std::chrono::seconds(5));
  buffer.Touch();
  EXPECT_EQ(buffer.IdleTime(), std::chrono::seconds(0));
}

// ---------------------------------------------------------------------------
// Replay

class NMEAReplay : public testing::Test {
 protected:
  TTempDir dir;
  TManualClock clock;
  TNMEALineBuffer buffer{nullptr, clock};
  std::vector<std::string> got;

  void SetUp() override {
    buffer.Parser().OnSentence = [this](std::string_view s) { got.emplace_back(s); };
  }
  void Steps(int n) {
    for (int i = 0; i < n; ++i) buffer.ReplayStep();
  }
};

TEST_F(NMEAReplay, PlaysOnceWithoutTheLoopMark) {
  WriteTestFile(dir / "once.nmea", "$GPHDT,1,T\n$GPHDT,2,T");
  ASSERT_TRUE(buffer.OpenReplay(dir / "once.nmea"));
  EXPECT_TRUE(buffer.ReplayOpen());
  Steps(6);
  EXPECT_EQ(got, (std::vector<std::string>{"$GPHDT,1,T\r", "$GPHDT,2,T\r"}));
}

TEST_F(NMEAReplay, LoopsWhenTheLastLineIsTheEndOfFileCharacter) {
  // CR LF line ends, as files made on other systems have them.
  WriteTestFile(dir / "loop.nmea", "$GPHDT,1,T\r\n$GPHDT,2,T\r\n\x1A\r\n");
  ASSERT_TRUE(buffer.OpenReplay(dir / "loop.nmea"));
  Steps(7);
  EXPECT_EQ(got, (std::vector<std::string>{"$GPHDT,1,T\r", "$GPHDT,2,T\r", "$GPHDT,1,T\r", "$GPHDT,2,T\r",
                                           "$GPHDT,1,T\r"}));
}

TEST_F(NMEAReplay, SkipsOverlongLinesAndRefusesWhatIsNoFile) {
  WriteTestFile(dir / "long.nmea", std::string(5000, 'x') + "$GPHDT,9,T\r\n$GPHDT,1,T\r\n");
  ASSERT_TRUE(buffer.OpenReplay(dir / "long.nmea"));
  Steps(3);
  EXPECT_EQ(got, (std::vector<std::string>{"$GPHDT,1,T\r"}));

  EXPECT_FALSE(buffer.OpenReplay(dir / "missing.nmea"));
  EXPECT_FALSE(buffer.ReplayOpen());
  EXPECT_EQ(buffer.ReplayFileName(), dir / "missing.nmea");
  EXPECT_FALSE(buffer.OpenReplay(dir.path()));
  EXPECT_FALSE(buffer.OpenReplay(""));
  buffer.ReplayStep();  // nothing open: nothing happens
}

}  // namespace
