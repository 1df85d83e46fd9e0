#include "TestSupport.h"
#include "platform/FileDialogs.h"

namespace {

using Entries = std::vector<TFileFilterEntry>;

TEST(FileDialogs, ParsesClassicFilters) {
  struct Case {
    const char* filter;
    Entries expected;
  };
  const Case cases[] = {
      {"", {}},
      {"Language Files|*.LNG", {{"Language Files", {"*.LNG"}}}},
      {"Route Files|*.SRW;*.RTE|Any File|*.*",
       {{"Route Files", {"*.SRW", "*.RTE"}}, {"Any File", {"*.*"}}}},
      // Blanks and empty patterns are dropped; an entry left without
      // patterns and a dangling description are ignored.
      {"A| *.A ; ;*.B |Empty|;|Dangling", {{"A", {"*.A", "*.B"}}}},
      {"|||", {}},
      {"No pattern part", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseFileFilter(c.filter), c.expected) << c.filter;
}

TEST(FileDialogs, CancelledWithoutDialogsAndScriptedAnswers) {
  IFileDialogs* previous = SetFileDialogs(nullptr);
  EXPECT_FALSE(OpenFileDialog({}));
  EXPECT_FALSE(PickFolderDialog("Folder", "/tmp"));

  TScriptedFileDialogs scripted;
  SetFileDialogs(&scripted);
  scripted.Answer("/data/a.srw");
  scripted.Cancel();
  scripted.Answer(std::vector<std::string>{"/x/1.wci", "/x/2.wci"});
  TFileDialogOptions options;
  options.title = "Available Routes";
  EXPECT_EQ(OpenFileDialog(options), "/data/a.srw");
  EXPECT_FALSE(SaveFileDialog(options));
  EXPECT_EQ(OpenFilesDialog(options), (std::vector<std::string>{"/x/1.wci", "/x/2.wci"}));
  EXPECT_FALSE(PickFolderDialog("Chart Dir", "/c"));  // script exhausted
  ASSERT_EQ(scripted.requests().size(), 4u);
  EXPECT_EQ(scripted.requests()[0].options.title, "Available Routes");
  EXPECT_EQ(scripted.requests()[1].kind, TScriptedFileDialogs::Kind::Save);
  EXPECT_EQ(scripted.requests()[3].options.initialDir, "/c");
  SetFileDialogs(previous);
}

}  // namespace
