#include "platform/AppendFile.h"

#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "TestSupport.h"

namespace {

std::string Record30(char c) { return std::string(30, c); }

}  // namespace

// A crash in the middle of a write leaves a torn last record; opening for
// appending cuts it off, so that the next record starts on a record boundary.
// What is cut off is kept in "<file>.torn" (it may be a line someone typed
// without a final line end).
TEST(AppendFile, OpenCutsBackToTheLastWholeRecord) {
  struct Case {
    const char* what;
    TRecordFraming framing;
    std::string before;
    std::string after;
  } cases[] = {
      {"track, torn record", TRecordFraming::Fixed(30), Record30('a') + Record30('b') + "ccccc",
       Record30('a') + Record30('b')},
      {"track, whole", TRecordFraming::Fixed(30), Record30('a'), Record30('a')},
      {"track, only a torn record", TRecordFraming::Fixed(30), "cc", ""},
      {"track, empty", TRecordFraming::Fixed(30), "", ""},
      {"log, torn line", TRecordFraming::Lines(), "2025-06-01 Brismare Started\r\nWP 3 Rea",
       "2025-06-01 Brismare Started\r\n"},
      {"log, whole", TRecordFraming::Lines(), "a\nb\n", "a\nb\n"},
      {"log, no line end at all", TRecordFraming::Lines(), "partial", ""},
      {"capture, torn line longer than a read block", TRecordFraming::Lines(),
       "$GPRMC,1\n" + std::string(200000, 'x'), "$GPRMC,1\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TTempDir dir;
    std::string path = dir / "file";
    WriteTestFile(path, c.before);
    TAppendFile f;
    ASSERT_TRUE(f.Open(path, c.framing)) << f.LastError();
    EXPECT_EQ(ReadTestFile(path), c.after);
    EXPECT_EQ(f.Size(), c.after.size());
    EXPECT_EQ(f.TrimmedAtOpen(), c.before.size() - c.after.size());
    if (c.before.size() > c.after.size())
      EXPECT_EQ(ReadTestFile(path + kTornSuffix), c.before.substr(c.after.size()));
    else
      EXPECT_FALSE(std::filesystem::exists(path + kTornSuffix));
    std::string next = c.framing.IsLines() ? std::string("next\n") : Record30('n');
    ASSERT_TRUE(f.Append(next, true)) << f.LastError();
    EXPECT_EQ(ReadTestFile(path), c.after + next);
    EXPECT_TRUE(f.Close());
  }
}

// Each cut adds to the .torn file; a torn file that cannot be written leaves
// the record file as it was.
TEST(AppendFile, TornBytesAreKeptOrNothingIsCut) {
  TTempDir dir;
  std::string log = dir / "BRISMARE.LOG";
  WriteTestFile(log, "a\nnote one");
  {
    TAppendFile f;
    ASSERT_TRUE(f.Open(log, TRecordFraming::Lines())) << f.LastError();
  }
  WriteTestFile(log, "a\nnote two");
  {
    TAppendFile f;
    ASSERT_TRUE(f.Open(log, TRecordFraming::Lines())) << f.LastError();
  }
  EXPECT_EQ(ReadTestFile(log + kTornSuffix), "note onenote two");

  std::filesystem::remove(log + kTornSuffix);
  std::filesystem::create_directory(log + kTornSuffix);  // cannot be opened for writing
  WriteTestFile(log, "a\nnote three");
  TAppendFile f;
  EXPECT_FALSE(f.Open(log, TRecordFraming::Lines()));
  EXPECT_NE(f.LastError().find(".torn"), std::string::npos) << f.LastError();
  EXPECT_EQ(ReadTestFile(log), "a\nnote three");
}

// A second writer, here or in another program, is refused until the first
// closes the file.
TEST(AppendFile, OneWriterAtATime) {
  TTempDir dir;
  std::string capture = dir / "capture.nmea";
  TAppendFile first, second;
  ASSERT_TRUE(first.Open(capture, TRecordFraming::Lines()));
  EXPECT_FALSE(second.Open(capture, TRecordFraming::Lines()));
  EXPECT_NE(second.LastError().find("in use"), std::string::npos) << second.LastError();
  ASSERT_TRUE(first.Append("$GPRMC,1"));
  first.Close();
  ASSERT_TRUE(second.Open(capture, TRecordFraming::Lines())) << second.LastError();
  EXPECT_TRUE(second.Append("$GPRMC,2"));
  EXPECT_EQ(ReadTestFile(capture), "$GPRMC,1\n$GPRMC,2\n");
}

TEST(AppendFile, RecordsMustBeWhole) {
  TTempDir dir;
  std::string track = dir / "20250601.TRC";
  TAppendFile f;
  ASSERT_TRUE(f.Open(track, TRecordFraming::Fixed(30)));
  EXPECT_TRUE(f.Append(Record30('a')));
  EXPECT_FALSE(f.Append(std::string(29, 'b')));
  EXPECT_NE(f.LastError().find("29"), std::string::npos) << f.LastError();
  EXPECT_FALSE(f.Append(std::string(31, 'b')));
  EXPECT_EQ(ReadTestFile(track), Record30('a'));
  f.Close();
  EXPECT_FALSE(f.Append(Record30('c'))) << "closed";

  std::string log = dir / "LOGBOOK.TXT";
  ASSERT_TRUE(f.Open(log, TRecordFraming::Lines()));
  EXPECT_TRUE(f.Append("no line end"));
  EXPECT_TRUE(f.Append("with line end\r\n"));
  EXPECT_TRUE(f.Append(""));
  EXPECT_EQ(ReadTestFile(log), "no line end\nwith line end\r\n\n");

  EXPECT_FALSE(f.Open(dir / "x", TRecordFraming::Fixed(0)));
  EXPECT_FALSE(f.Open(dir.path(), TRecordFraming::Lines())) << "a directory";
  EXPECT_FALSE(f.Open(dir / "missing/x", TRecordFraming::Lines()));
  EXPECT_NE(f.LastError().find("missing/x"), std::string::npos);
}

// The disk fills up in the middle of a record: the part that got written is
// taken out again, and appending works again once there is room.
TEST(AppendFile, FullDiskLeavesOnlyWholeRecords) {
  for (TRecordFraming framing : {TRecordFraming::Fixed(30), TRecordFraming::Lines()}) {
    SCOPED_TRACE(framing.IsLines() ? "lines" : "fixed");
    TTempDir dir;
    std::string path = dir / "file";
    std::string record = framing.IsLines() ? std::string(29, 'x') + "\n" : Record30('x');
    int code = RunInChild([&] {
      if (!LimitFileSizeInChild(100)) return 2;  // room for 3 records and 10 bytes
      TAppendFile f;
      if (!f.Open(path, framing)) return 3;
      for (int i = 0; i < 3; ++i)
        if (!f.Append(record)) return 4;
      if (f.Append(record)) return 5;
      if (f.LastError().find("file") == std::string::npos) return 6;
      if (f.Size() != 90) return 7;
      // Room again: the next record follows the last whole one.
      LimitFileSizeInChild(RLIM_INFINITY);
      if (!f.Append(record, true)) return 8;
      return f.Close() ? 0 : 9;
    });
    EXPECT_EQ(code, 0);
    std::string all;
    for (int i = 0; i < 4; ++i) all += record;
    EXPECT_EQ(ReadTestFile(path), all);
  }
}

TEST(AppendFile, ReadOnlyFileIsReportedNotAppended) {
  TTempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  std::string path = dir / "LOGBOOK.TXT";
  WriteTestFile(path, "old\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  int code = RunInChild([&] {
    if (!DropRootInChild()) return 2;
    TAppendFile f;
    if (f.Open(path, TRecordFraming::Lines())) return 3;
    return f.LastError().find("LOGBOOK.TXT") != std::string::npos ? 0 : 4;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadTestFile(path), "old\n");
}

TEST(AppendFile, ReadersTakeOnlyWholeRecords) {
  TTempDir dir;
  std::string path = dir / "NMEA_CAPTFILE";
  WriteTestFile(path, "$GPGGA,1\r\n$GPRMC,2\r\n$GPR");
  std::string bytes, error;
  ASSERT_TRUE(ReadWholeRecords(path, TRecordFraming::Lines(), bytes, &error)) << error;
  EXPECT_EQ(bytes, "$GPGGA,1\r\n$GPRMC,2\r\n");
  auto lines = SplitRecords("$GPGGA,1\r\n$GPRMC,2\r\n$GPR", TRecordFraming::Lines());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "$GPRMC,2\r\n");

  auto records = SplitRecords(std::string(65, 'r'), TRecordFraming::Fixed(30));
  EXPECT_EQ(records.size(), 2u);
  EXPECT_TRUE(SplitRecords("abc", TRecordFraming::Fixed(0)).empty());
  EXPECT_EQ(WholeRecordsLength("abc", TRecordFraming::Fixed(0)), 0u);

  EXPECT_FALSE(ReadWholeRecords(dir / "none", TRecordFraming::Fixed(30), bytes, &error));
  EXPECT_FALSE(ReadWholeRecords(path, TRecordFraming::Fixed(0), bytes, &error));
}
