#include "plotter/core/SetupKeys.h"

#include <set>
#include <string>

#include "TestSupport.h"
#include "foundation/Types.h"

namespace {

const TSetupFloatKey& FloatKey(const std::string& control) {
  for (const TSetupFloatKey& k : SetupFloatKeys())
    if (control == k.control) return k;
  throw std::invalid_argument(control);
}

// The stored defaults are the dialog's round numbers converted exactly the
// way the dialog converts them, so a value typed in the dialog stores the
// very number a fresh file holds.
TEST(SetupKeys, DialogUnitsConvertToTheStoredValues) {
  struct Case {
    const char* control;
    double shown;
    double stored;
    bool exact;
  } cases[] = {
      {"RteForce", 50, 7.853353365705226e-6, true},           // metres
      {"TraceD", 100, 0.000015706706731410453, true},         // metres
      {"DBTCPAMax", 15, 0.010416666666666666, true},          // minutes -> days
      {"TraceC", 5, 0.08726646259971647, false},              // degrees
      {"DXTE", 0.05, 0.00001454441043328608, false},          // nautical miles
      {"DSPD", 10, 10, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    const TSetupFloatKey& k = FloatKey(c.control);
    if (c.exact) {
      EXPECT_EQ(DialogToSetting(k.unit, c.shown), c.stored);
    } else {
      EXPECT_DOUBLE_EQ(DialogToSetting(k.unit, c.shown), c.stored);
    }
    EXPECT_NEAR(SettingToDialog(k.unit, c.stored), c.shown, 1e-9 * c.shown);
  }
  // A nautical mile is 1852 m and one minute of arc.
  EXPECT_DOUBLE_EQ(MetresToRad(1852), NMToRad(1));
  EXPECT_DOUBLE_EQ(NMToRad(60), kDegToRad);
}

// Every default lies inside its control's range and list, so the dialog
// shows it unchanged; control names are unique (they are the names the
// language file uses).
TEST(SetupKeys, DefaultsFitTheirControls) {
  const RSysInfo d;
  std::set<std::string> names;
  const auto name = [&](const char* n) { EXPECT_TRUE(names.insert(n).second) << "twice: " << n; };
  for (const TSetupIntKey& k : SetupIntKeys()) {
    name(k.control);
    EXPECT_GE(d.*k.field, k.low) << k.control;
    EXPECT_LE(d.*k.field, k.high) << k.control;
    EXPECT_EQ((d.*k.field - k.low) % k.step, 0) << k.control;
  }
  for (const TSetupFloatKey& k : SetupFloatKeys()) {
    name(k.control);
    const double shown = SettingToDialog(k.unit, d.*k.field);
    EXPECT_GE(shown, k.low) << k.control;
    EXPECT_LE(shown, k.high) << k.control;
  }
  for (const TSetupChoiceKey& k : SetupChoiceKeys()) {
    name(k.control);
    EXPECT_LT(d.*k.field, SetupListSize(k.list)) << k.control;
    EXPECT_FALSE(SetupListItem(k.list, d.*k.field).empty()) << k.control;
  }
  for (const TSetupCheckKey& k : SetupCheckKeys()) name(k.control);
  for (const TSetupBitKey& k : SetupBitKeys()) name(k.control);
  for (const TSetupTriStateKey& k : SetupTriStateKeys()) name(k.control);
  for (const TSetupTextKey& k : SetupTextKeys()) name(k.control);
  for (const TSetupPortKey& k : kSetupPortKeys) {
    name(k.port);
    name(k.baudRate);
    name(k.device);
  }
  EXPECT_EQ(SetupListSize(TSetupList::BaudRate), 13);
  EXPECT_EQ(SetupListItem(TSetupList::BaudRate, 5), "4800");
  EXPECT_EQ(SetupListItem(TSetupList::Colour, 13), "Fuchsia");
  EXPECT_EQ(SetupListItem(TSetupList::Colour, 16), "");
}

TEST(SetupKeys, AnUntouchedControlKeepsTheStoredNumber) {
  const TSetupFloatKey& k = FloatKey("DXTE");
  const double stored = 0.0000145444104332861;  // typed by hand, not the dialog's
  const double shown = 0.05;                    // what two decimals show of it
  EXPECT_EQ(StoredFloat(k, stored, shown, shown), stored);
  EXPECT_EQ(StoredFloat(k, stored, shown, 0.06), NMToRad(0.06));
}

TEST(SetupKeys, ThreeStateBoxesAndBitSets) {
  // Qt numbers its states Unchecked 0, PartiallyChecked 1, Checked 2; the
  // settings say 0 off, 1 on, 2 partial.
  EXPECT_EQ(TriStateToSetting(TTriState::Unchecked), 0);
  EXPECT_EQ(TriStateToSetting(TTriState::Checked), 1);
  EXPECT_EQ(TriStateToSetting(TTriState::Grayed), 2);
  for (int v : {0, 1, 2}) EXPECT_EQ(TriStateToSetting(SettingToTriState(v)), v);
  EXPECT_EQ(SettingToTriState(7), TTriState::Unchecked);

  // "AutoP Msg" with only "WPL + RTE" ticked.
  int32_t msg = 0;
  for (const TSetupBitKey& k : SetupBitKeys())
    if (k.field == &RSysInfo::AutoPMsg) msg = ApplyBit(msg, k.bit, std::string(k.control) == "APOE_RTE");
  EXPECT_EQ(msg, 32);
  // Bits no control edits stay as they were.
  EXPECT_EQ(ApplyBit(0x41, 1, false), 0x40);
  EXPECT_EQ(ApplyBit(0x40, 4, true), 0x44);
}

}  // namespace
