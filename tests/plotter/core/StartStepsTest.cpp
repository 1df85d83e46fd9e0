#include "plotter/core/StartSteps.h"

#include <stdexcept>
#include <vector>

#include "TestSupport.h"
#include "platform/Questions.h"

namespace {

TEST(StartSteps, AFailedStepNeitherStopsTheOthersNorIsReportedTwice) {
  TScriptedQuestions script;
  IUserQuestions* previous = SetUserQuestions(&script);
  TStartRunner r;
  std::vector<int> ran;
  EXPECT_TRUE(r.Step(1, "one", [&] { ran.push_back(1); }));
  EXPECT_FALSE(r.Step(2, "two", [&] { throw std::runtime_error("disk gone"); }));
  EXPECT_FALSE(r.Step(3, "three", [&] { throw 42; }));
  EXPECT_TRUE(r.Step(4, "four", [&] { ran.push_back(4); }));
  EXPECT_EQ(ran, (std::vector<int>{1, 4}));
  ASSERT_EQ(r.Failures().size(), 2u);
  EXPECT_EQ(r.Failures()[0].what, "disk gone");
  EXPECT_EQ(r.Failures()[1].step, 3);

  EXPECT_TRUE(r.ReportOnce());
  EXPECT_FALSE(r.ReportOnce());
  ASSERT_EQ(script.asked().size(), 1u);
  EXPECT_EQ(script.asked()[0].text, "Unknown error during init");
  EXPECT_EQ(script.asked()[0].caption, "Brismare II");
  SetUserQuestions(previous);
}

TEST(StartSteps, NothingIsReportedWhenAllStepsRan) {
  TScriptedQuestions script;
  IUserQuestions* previous = SetUserQuestions(&script);
  TStartRunner r;
  r.Step(1, "one", [] {});
  EXPECT_FALSE(r.ReportOnce());
  EXPECT_TRUE(script.asked().empty());
  SetUserQuestions(previous);
}

}  // namespace
