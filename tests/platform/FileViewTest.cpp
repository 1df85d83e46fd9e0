#include "platform/FileView.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "TestSupport.h"

namespace {

// Byte i of the test file; a pattern that does not repeat within a window.
uint8_t At(uint64_t i) { return static_cast<uint8_t>((i * 7 + i / 251) & 0xFF); }

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(At(i));
  return s;
}

bool Matches(std::span<const uint8_t> bytes, uint64_t offset) {
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] != At(offset + i)) return false;
  return true;
}

constexpr size_t kFileSize = 200000;

class TViewFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_ / "CHART.KAP";
    WriteTestFile(path_, Pattern(kFileSize));
    ASSERT_TRUE(view_.Open(path_));
  }
  TTempDir dir_;
  std::string path_;
  TFileView view_;
};

}  // namespace

TEST_F(TViewFixture, ReadsAndViewsWithinTheFile) {
  EXPECT_EQ(view_.Size(), kFileSize);
  uint8_t buf[1000];
  EXPECT_EQ(view_.ReadAt(1234, buf, sizeof buf), sizeof buf);
  EXPECT_TRUE(Matches({buf, sizeof buf}, 1234));
  EXPECT_EQ(view_.ReadAt(kFileSize - 10, buf, sizeof buf), 10u);
  EXPECT_TRUE(view_.ReadExact(kFileSize - 10, buf, 10));
  EXPECT_FALSE(view_.ReadExact(kFileSize - 10, buf, 11));
  EXPECT_TRUE(view_.ReadExact(kFileSize, buf, 0));

  // Byte by byte across the window border, as a header scanner does.
  for (uint64_t off = TFileView::kWindowSize - 5; off < TFileView::kWindowSize + 5; ++off) {
    auto b = view_.View(off, 1);
    ASSERT_EQ(b.size(), 1u);
    ASSERT_EQ(b[0], At(off)) << off;
  }
  auto big = view_.View(10, 150000);  // larger than the window
  ASSERT_EQ(big.size(), 150000u);
  EXPECT_TRUE(Matches(big, 10));
  auto tail = view_.View(kFileSize - 3, 100);
  EXPECT_EQ(tail.size(), 3u);
  EXPECT_TRUE(Matches(tail, kFileSize - 3));
  auto back = view_.View(5, 20);  // backwards: refilled
  EXPECT_TRUE(Matches(back, 5));
}

TEST_F(TViewFixture, OffsetsAndCountsBeyondTheFileAreHarmless) {
  uint8_t buf[16];
  const uint64_t huge = std::numeric_limits<uint64_t>::max();
  struct Case {
    uint64_t offset;
    size_t n;
    size_t expected;
  } cases[] = {
      {kFileSize, 16, 0},
      {kFileSize + 1, 16, 0},
      {huge, 16, 0},
      {huge - 5, 16, 0},
      {uint64_t{1} << 63, 16, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(view_.ReadAt(c.offset, buf, c.n), c.expected) << c.offset;
    EXPECT_EQ(view_.View(c.offset, c.n).size(), c.expected) << c.offset;
  }
  // A count near the top of size_t is cut to the bytes that are there.
  auto all = view_.View(kFileSize - 100, std::numeric_limits<size_t>::max());
  EXPECT_EQ(all.size(), 100u);
  EXPECT_EQ(view_.View(0, 0).size(), 0u);
}

// The file is cut short (a copy still in progress, a stick pulled out)
// while the chart is open: reads come back short instead of crashing.
TEST_F(TViewFixture, FileTruncatedAfterOpening) {
  auto before = view_.View(150000, 100);  // fills a window near the end
  ASSERT_EQ(before.size(), 100u);
  ASSERT_EQ(::truncate(path_.c_str(), 1000), 0);
  EXPECT_EQ(view_.Size(), kFileSize) << "the size when opened";

  uint8_t buf[1000];
  EXPECT_EQ(view_.ReadAt(500, buf, 1000), 500u);
  EXPECT_TRUE(Matches({buf, 500}, 500));
  EXPECT_EQ(view_.ReadAt(5000, buf, 1000), 0u);
  EXPECT_FALSE(view_.ReadExact(900, buf, 200));
  auto shortView = view_.View(900, 500);
  EXPECT_EQ(shortView.size(), 100u);
  EXPECT_TRUE(Matches(shortView, 900));
  EXPECT_TRUE(view_.View(3000, 10).empty());
}

TEST_F(TViewFixture, FileRemovedOrGrownAfterOpening) {
  ASSERT_EQ(::unlink(path_.c_str()), 0);
  uint8_t buf[100];
  EXPECT_TRUE(view_.ReadExact(100000, buf, sizeof buf)) << "an open file keeps its data";
  EXPECT_TRUE(Matches({buf, sizeof buf}, 100000));

  WriteTestFile(path_, Pattern(100));
  TFileView grown;
  ASSERT_TRUE(grown.Open(path_));
  WriteTestFile(path_, Pattern(500));
  EXPECT_EQ(grown.ReadAt(0, buf, sizeof buf), 100u) << "reads stop at the size when opened";
  EXPECT_EQ(grown.View(50, 100).size(), 50u);
}

TEST(FileView, OpenRefusesWhatIsNoFileAndMoves) {
  TTempDir dir;
  TFileView v;
  std::string error;
  EXPECT_FALSE(v.Open(dir / "missing.kap", &error));
  EXPECT_NE(error.find("missing.kap"), std::string::npos);
  EXPECT_FALSE(v.Open(dir.path(), &error));
  EXPECT_FALSE(v.IsOpen());
  uint8_t b = 0;
  EXPECT_EQ(v.ReadAt(0, &b, 1), 0u);
  EXPECT_TRUE(v.View(0, 1).empty());

  WriteTestFile(dir / "a.wci", "abc");
  ASSERT_TRUE(v.Open(dir / "a.wci"));
  TFileView moved(std::move(v));
  EXPECT_FALSE(v.IsOpen());
  ASSERT_TRUE(moved.IsOpen());
  auto s = moved.View(1, 5);
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0], 'b');
  moved.Close();
  EXPECT_EQ(moved.Size(), 0u);
}
