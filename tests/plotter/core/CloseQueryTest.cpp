#include "plotter/core/CloseQuery.h"

#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/Questions.h"

namespace {

class CloseQuery : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetUserQuestions(&script_); }
  void TearDown() override { SetUserQuestions(previous_); }
  TScriptedQuestions script_;
  IUserQuestions* previous_ = nullptr;
};

TEST_F(CloseQuery, AsksForUnsavedListsThenToQuit) {
  const std::string route = "Route is not saved! Continue?";
  const std::string positions = "Positions is not saved! Continue?";
  const std::string quit = "Do you want to quit";
  struct Case {
    const char* label;
    TCloseState state;
    std::vector<int> answers;
    std::vector<std::string> asked;
    bool allowed;
  } cases[] = {
      {"nothing unsaved", {}, {idYes}, {quit}, true},
      {"nothing unsaved, No", {}, {idNo}, {quit}, false},
      {"route unsaved", {false, true, 3, false, 0}, {idYes, idYes}, {route, quit}, true},
      {"route unsaved, No keeps", {false, true, 3, false, 0}, {idNo}, {route}, false},
      {"both unsaved", {false, true, 1, true, 5}, {idYes, idYes, idYes}, {route, positions, quit}, true},
      {"positions No", {false, true, 1, true, 5}, {idYes, idNo}, {route, positions}, false},
      {"empty lists marked changed", {false, true, 0, true, 0}, {idYes}, {quit}, true},
      {"saved lists with points", {false, false, 4, false, 9}, {idYes}, {quit}, true},
      {"No Quit Query", {true, true, 3, true, 3}, {}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    script_.Clear();
    for (int a : c.answers) script_.Answer(a);
    EXPECT_EQ(CloseAllowed(c.state, TMessageTable()), c.allowed);
    std::vector<std::string> asked;
    for (const auto& q : script_.asked()) {
      asked.push_back(q.text);
      EXPECT_EQ(q.caption, "Brismare II");
      EXPECT_EQ(q.flags, mfYesNo | mfIconQuestion);
    }
    EXPECT_EQ(asked, c.asked);
  }
}

TEST_F(CloseQuery, UsesTheCurrentMessageTexts) {
  std::vector<std::string> lines(kDefaultMessages.begin(), kDefaultMessages.end());
  lines[msgRoute] = "Rutt";
  lines[msgIsNotSaved] = " är inte sparad! Fortsätta?";
  lines[msgDoYouWantToQuit] = "Avsluta?";
  script_.Answer(idYes);
  script_.Answer(idNo);
  EXPECT_FALSE(CloseAllowed({false, true, 2, false, 0}, TMessageTable(lines)));
  ASSERT_EQ(script_.asked().size(), 2u);
  EXPECT_EQ(script_.asked()[0].text, "Rutt är inte sparad! Fortsätta?");
  EXPECT_EQ(script_.asked()[1].text, "Avsluta?");
}

}  // namespace
