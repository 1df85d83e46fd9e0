// The bounded JSON reader: what it takes, what it refuses, and its limits.
#include <limits>
#include <string>

#include "TestSupport.h"
#include "foundation/Json.h"

namespace {

TEST(Json, ReadsValuesOfEveryType) {
  std::string error;
  auto v = ParseJson(R"( {"a": [1, -2.5e2, 0.125, true, false, null], "s": "x\"\\\/\n\u00e5\ud83d\ude00",
                          "o": {"n": 3}, "a": "second"} )",
                     {}, &error);
  ASSERT_TRUE(v) << error;
  ASSERT_TRUE(v->IsObject());
  const TJsonValue* a = v->ArrayOf("a");  // the first of two members of that name
  ASSERT_TRUE(a);
  ASSERT_EQ(a->Size(), 6u);
  EXPECT_EQ(a->Items()[1].Number(), -250.0);
  EXPECT_EQ(a->Items()[2].Number(), 0.125);
  EXPECT_TRUE(a->Items()[3].IsBool() && a->Items()[3].Bool());
  EXPECT_TRUE(a->Items()[5].IsNull());
  ASSERT_TRUE(v->StringOf("s"));
  EXPECT_EQ(*v->StringOf("s"), "x\"\\/\n\xc3\xa5\xf0\x9f\x98\x80");
  EXPECT_EQ(v->ObjectOf("o")->NumberOf("n"), 3.0);
  EXPECT_FALSE(v->NumberOf("s"));  // a string is not a number
  EXPECT_EQ(v->Find("missing"), nullptr);
}

TEST(Json, RefusesWhatIsNotJson) {
  const char* bad[] = {
      "",              "   ",          "{",             "[1,]",           "{\"a\":1,}",       "{a:1}",
      "[1 2]",         "01",           "1.",            ".5",             "1e",               "+1",
      "-",             "NaN",          "Infinity",      "tru",            "nul",              "\"abc",
      "\"a\tb\"",      "\"\\x\"",      "\"\\u12\"",     "\"\\ud800\"",    "\"\\udc00x\"",     "\"\xff\"",
      "\"\xc0\xaf\"",  "\"\xed\xa0\x80\"", "[1] [2]",    "{\"a\" 1}",      "<html>",
  };
  for (const char* text : bad) {
    std::string error;
    EXPECT_FALSE(ParseJson(text, {}, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

TEST(Json, LimitsHold) {
  TJsonLimits limits;
  limits.MaxDepth = 4;
  limits.MaxBytes = 64;
  limits.MaxValues = 8;
  limits.MaxString = 10;
  EXPECT_TRUE(ParseJson("[[[1]]]", limits));
  EXPECT_FALSE(ParseJson("[[[[[1]]]]]", limits));
  EXPECT_FALSE(ParseJson("[" + std::string(70, ' ') + "]", limits));
  EXPECT_FALSE(ParseJson("[1,2,3,4,5,6,7,8,9]", limits));
  EXPECT_FALSE(ParseJson("\"" + std::string(12, 'x') + "\"", limits));
  // A deep nest far beyond the default depth is refused, not recursed into.
  EXPECT_FALSE(ParseJson(std::string(100000, '[') + std::string(100000, ']'), TJsonLimits{1 << 20, 32, 1000000, 100}));
}

TEST(Json, NumbersBeyondADoubleStayNumbers) {
  auto v = ParseJson("[1e999, -1e999, 1e-999]");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->Items()[0].Number(), std::numeric_limits<double>::infinity());
  EXPECT_EQ(v->Items()[1].Number(), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(v->Items()[2].Number(), 0.0);
}

TEST(Json, QuotedTextReadsBack) {
  const std::string text = "a\"b\\c\n\x01 \xc3\xa5";
  const std::string quoted = JsonQuoted(text);
  EXPECT_EQ(quoted, "\"a\\\"b\\\\c\\u000a\\u0001 \xc3\xa5\"");
  auto v = ParseJson(quoted);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->String(), text);
}

}  // namespace
