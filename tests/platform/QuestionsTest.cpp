#include "platform/Questions.h"

#include <gtest/gtest.h>

namespace {

// Installs a scripted questioner for one test and restores the previous one.
class TQuestionsFixture : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = SetUserQuestions(&script_); }
  void TearDown() override { SetUserQuestions(previous_); }
  TScriptedQuestions script_;
  IUserQuestions* previous_ = nullptr;
};

}  // namespace

TEST(Questions, DefaultAnswerIsTheSafeButton) {
  struct Case {
    unsigned flags;
    int answer;
  } cases[] = {
      {mfOk, idOk},
      {mfOk | mfIconError, idOk},
      {mfOkCancel, idCancel},
      {mfYesNo | mfIconQuestion, idNo},
      {mfYesNoCancel | mfIconWarning, idCancel},
  };
  for (const Case& c : cases) EXPECT_EQ(DefaultAnswer(c.flags), c.answer) << c.flags;
}

TEST(Questions, WithoutAnInstalledQuestionerTheDefaultIsTakenAndTheTextReported) {
  IUserQuestions* previous = SetUserQuestions(nullptr);
  ::testing::internal::CaptureStderr();
  bool yes = AskYesNo("Delete route?");
  int ok = AppMessageBox("KAP/NOS Open error", mfOk | mfIconError);
  std::string err = ::testing::internal::GetCapturedStderr();
  SetUserQuestions(previous);
  EXPECT_FALSE(yes);
  EXPECT_EQ(ok, idOk);
  EXPECT_NE(err.find("Delete route?"), std::string::npos);
  EXPECT_NE(err.find("KAP/NOS Open error"), std::string::npos);
}

TEST_F(TQuestionsFixture, OnlyYesConfirms) {
  for (int answer : {idYes, idNo, idCancel, idOk}) script_.Answer(answer);
  EXPECT_TRUE(AskYesNo("q1"));
  EXPECT_FALSE(AskYesNo("q2"));
  EXPECT_FALSE(AskYesNo("q3"));
  EXPECT_FALSE(AskYesNo("q4"));
  EXPECT_FALSE(AskYesNo("q5"));  // script used up: the default No
  ASSERT_EQ(script_.asked().size(), 5u);
  for (const auto& q : script_.asked()) {
    EXPECT_EQ(q.caption, "Brismare II");
    EXPECT_EQ(q.flags, static_cast<unsigned>(mfYesNo | mfIconQuestion));
  }
  EXPECT_EQ(script_.asked()[4].answer, idNo);
}

TEST_F(TQuestionsFixture, MessageBoxPassesTextAndFlagsAndReturnsTheButton) {
  script_.Answer(idCancel);
  EXPECT_EQ(AppMessageBox("Could Not Open Communication Port", mfOkCancel | mfIconWarning), idCancel);
  ASSERT_EQ(script_.asked().size(), 1u);
  EXPECT_EQ(script_.asked()[0].text, "Could Not Open Communication Port");
  EXPECT_EQ(script_.asked()[0].flags, static_cast<unsigned>(mfOkCancel | mfIconWarning));
  EXPECT_EQ(UserQuestions(), &script_);
}
