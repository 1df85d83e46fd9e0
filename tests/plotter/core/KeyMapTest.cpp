#include "plotter/core/KeyMap.h"

#include <string>

#include "TestSupport.h"

namespace {

struct KeyCase {
  const char* label;
  TKeyInput key;
  bool handledWithout;  // without a chart loaded
  TKeyAction without;
  bool handledWith;  // with a chart loaded
  TKeyAction with;
  int shade = 0;
};

TKeyInput Ctrl(char c) { return TKeyInput::Key(c, true); }

TEST(KeyMap, KeysToActionsWithAndWithoutAChart) {
  using A = TKeyAction;
  const KeyCase cases[] = {
      {"F2", TKeyInput::F(2), true, A::ToggleAutomatic, true, A::ToggleAutomatic},
      {"F3", TKeyInput::F(3), true, A::ToggleTrack, true, A::ToggleTrack},
      {"F4", TKeyInput::F(4), true, A::TogglePilot, true, A::TogglePilot},
      {"F5", TKeyInput::F(5), true, A::AcknowledgeWaypoint, true, A::AcknowledgeWaypoint},
      {"F6", TKeyInput::F(6), true, A::ClearMarker, true, A::ClearMarker},
      {"F7", TKeyInput::F(7), true, A::LogBookEntry, true, A::LogBookEntry},
      {"F8", TKeyInput::F(8), true, A::PreferredCharts, true, A::PreferredCharts},
      {"F9", TKeyInput::F(9), true, A::BestChartForBoat, true, A::BestChartForBoat},
      {"F10", TKeyInput::F(10), true, A::SmallerScaleChart, true, A::SmallerScaleChart},
      {"F11", TKeyInput::F(11), true, A::PreviousChart, true, A::PreviousChart},
      {"F12", TKeyInput::F(12), true, A::ToggleOutlines, true, A::ToggleOutlines},
      {"F13 taken, inert", TKeyInput::F(13), true, A::None, true, A::None},
      {"F24 taken, inert", TKeyInput::F(24), true, A::None, true, A::None},
      {"F1 not taken", TKeyInput::F(1), false, A::None, false, A::None},
      {"Ctrl+F2", TKeyInput::F(2, true), true, A::ToggleAutomatic, true, A::ToggleAutomatic},
      {"keypad +", TKeyInput::Key('+'), true, A::ZoomInAtMouse, true, A::ZoomInAtMouse},
      {"keypad -", TKeyInput::Key('-'), true, A::ZoomOutAtMouse, true, A::ZoomOutAtMouse},
      {"Ctrl+Space", Ctrl(' '), false, A::None, true, A::ManOverboard},
      {"Ctrl+1", Ctrl('1'), false, A::None, true, A::ShadeLevel, 0},
      {"Ctrl+4", Ctrl('4'), false, A::None, true, A::ShadeLevel, 3},
      {"Ctrl+5 taken, inert", Ctrl('5'), false, A::None, true, A::None},
      {"Ctrl+A", Ctrl('A'), false, A::None, true, A::ToggleAutomatic},
      {"Ctrl+T", Ctrl('T'), false, A::None, true, A::ToggleTrack},
      {"Ctrl+P", Ctrl('P'), false, A::None, true, A::TogglePilot},
      {"Ctrl+N", Ctrl('N'), false, A::None, true, A::AcknowledgeWaypoint},
      {"Ctrl+H", Ctrl('H'), false, A::None, true, A::ClearMarker},
      {"Ctrl+L", Ctrl('L'), false, A::None, true, A::LogBookEntry},
      {"Ctrl+C", Ctrl('C'), false, A::None, true, A::PreferredCharts},
      {"Ctrl+B", Ctrl('B'), false, A::None, true, A::BestChartForBoat},
      {"Ctrl+S", Ctrl('S'), false, A::None, true, A::SmallerScaleChart},
      {"Ctrl+V", Ctrl('V'), false, A::None, true, A::PreviousChart},
      {"Ctrl+O", Ctrl('O'), false, A::None, true, A::ToggleOutlines},
      {"Ctrl+D", Ctrl('D'), false, A::None, true, A::ToggleDashboard},
      {"Ctrl+E", Ctrl('E'), false, A::None, true, A::ToggleDoubleClickAction},
      {"Ctrl+F", Ctrl('F'), false, A::None, true, A::FindBoat},
      {"Ctrl+G", Ctrl('G'), false, A::None, true, A::BestChartAtMouse},
      {"Ctrl+M", Ctrl('M'), false, A::None, true, A::MarkerAtMouse},
      {"Ctrl+Q", Ctrl('Q'), false, A::None, true, A::ChartsOnPosition},
      {"Ctrl+W", Ctrl('W'), false, A::None, true, A::ListAllCharts},
      {"Ctrl+X", Ctrl('X'), false, A::None, true, A::ZoomOutAtMouse},
      {"Ctrl+Z", Ctrl('Z'), false, A::None, true, A::ZoomInAtMouse},
      {"Ctrl+K taken, inert", Ctrl('K'), false, A::None, true, A::None},
      {"plain A", TKeyInput::Key('A'), false, A::None, false, A::None},
      {"plain 1", TKeyInput::Key('1'), false, A::None, false, A::None},
      {"the Ctrl key", {TKeyInput::ControlKey, 0, 0, true}, false, A::None, false, A::None},
      {"Alt with Ctrl", {TKeyInput::AltKey, 0, 0, true}, false, A::None, false, A::None},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.label);
    const TKeyDecision without = DecideKey(c.key, {false, false});
    EXPECT_EQ(without.handled, c.handledWithout);
    EXPECT_EQ(KeyActionName(without.action), KeyActionName(c.without));

    const TKeyDecision with = DecideKey(c.key, {true, false});
    EXPECT_EQ(with.handled, c.handledWith);
    EXPECT_EQ(KeyActionName(with.action), KeyActionName(c.with));
    if (c.with == A::ShadeLevel) {
      EXPECT_EQ(with.shadeLevel, c.shade);
    }
  }
}

TEST(KeyMap, EditingKeysReachAFocusedTextField) {
  const TKeyContext editing{true, true};
  for (char c : {'A', 'C', 'V', 'X', 'Z'}) {
    SCOPED_TRACE(std::string("Ctrl+") + c);
    EXPECT_FALSE(DecideKey(Ctrl(c), editing).handled);
  }
  // Every other command key still works while typing.
  EXPECT_EQ(DecideKey(Ctrl('T'), editing).action, TKeyAction::ToggleTrack);
  EXPECT_EQ(DecideKey(Ctrl(' '), editing).action, TKeyAction::ManOverboard);
  EXPECT_EQ(DecideKey(TKeyInput::F(2), editing).action, TKeyAction::ToggleAutomatic);
}

TEST(KeyMap, RepeatsQueuedDuringASlowCommandAreDropped) {
  TKeyRepeatGate gate;
  EXPECT_FALSE(gate.ShouldDrop(1000, true));
  // The command for the key stamped 1000 ms ran for 800 ms.
  gate.Handled(1000, 800);
  EXPECT_TRUE(gate.ShouldDrop(1030, true));
  EXPECT_TRUE(gate.ShouldDrop(1790, true));
  EXPECT_FALSE(gate.ShouldDrop(1800, true));  // came after the command ended
  EXPECT_FALSE(gate.ShouldDrop(1100, false));  // a fresh press is never dropped
}

}  // namespace
