#include "foundation/Switches.h"

#include <optional>

#include "TestSupport.h"

namespace {

TEST(Switches, FindsTheFirstMatchingParameter) {
  TTempDir dir;
  std::string existing = dir.path();  // "/tmp/..." exists: a path, not switch T
  struct Case {
    std::vector<std::string> params;
    char letter;
    std::optional<std::string> value;
  } cases[] = {
      {{"/x", "-iD:\\S.INI"}, 'I', "D:\\S.INI"},
      {{"-IC:\\X\\MY.INI"}, 'i', "C:\\X\\MY.INI"},
      {{"/SU"}, 'S', "U"},
      {{"-su", "-SX"}, 'S', "u"},
      {{"-W4", "-OCDSM"}, 'O', "CDSM"},
      {{"-I", "/home/skipper/boat.ini"}, 'I', "/home/skipper/boat.ini"},
      {{"-I", "boat.ini"}, 'I', "boat.ini"},
      {{"-I", "-W4"}, 'I', ""},
      {{"-I"}, 'I', ""},
      {{"I", "xI", "-", "/"}, 'I', std::nullopt},
      {{"-W4"}, 'I', std::nullopt},
      {{}, 'I', std::nullopt},
      {{existing}, existing[1], std::nullopt},
      {{existing, "-T7"}, 'T', "7"},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (const auto& p : c.params) trace += p + " ";
    SCOPED_TRACE(trace + "letter " + c.letter);
    std::string value = "untouched";
    bool found = FindSwitch(c.params, c.letter, value);
    EXPECT_EQ(found, c.value.has_value());
    EXPECT_EQ(value, c.value.value_or("untouched"));
  }
}

TEST(Switches, ProgramArgumentsSkipTheProgramName) {
  const char* argv[] = {"/usr/bin/brismare", "-W3", "-I", "/srv/boat.ini", nullptr};
  SetProgramArguments(4, argv);
  EXPECT_EQ(ProgramArguments(), (std::vector<std::string>{"-W3", "-I", "/srv/boat.ini"}));
  std::string value;
  EXPECT_TRUE(FindSwitch('i', value));
  EXPECT_EQ(value, "/srv/boat.ini");
  EXPECT_FALSE(FindSwitch('u', value));  // the program name is no parameter
  SetProgramArguments(0, nullptr);
  EXPECT_TRUE(ProgramArguments().empty());
}

}  // namespace
