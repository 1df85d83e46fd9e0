// The main window's keyboard map. The window looks at every key before the
// focused control does; this decides, without any window code, whether a key
// is the map's and what it does.
//
// A key is the map's ("handled") when it is the keypad "+" or "-", a
// function key F2 to F24 (F13 to F24 do nothing), or a key pressed with Ctrl
// (other than Ctrl or Alt themselves) once a chart has been loaded. One
// exception: while a text field has the focus, Ctrl+A, Ctrl+C, Ctrl+V,
// Ctrl+X and Ctrl+Z are its editing keys (select all, copy, paste, cut,
// undo) and go to the field.
#pragma once

#include <cstdint>
#include <string_view>

enum class TKeyAction : uint8_t {
  None,
  ManOverboard,
  ShadeLevel,  // TKeyDecision::shadeLevel says which
  ToggleAutomatic,
  ToggleTrack,
  TogglePilot,
  AcknowledgeWaypoint,
  ClearMarker,
  LogBookEntry,
  PreferredCharts,
  BestChartForBoat,
  SmallerScaleChart,
  PreviousChart,
  ToggleOutlines,
  ToggleDashboard,
  ToggleDoubleClickAction,
  FindBoat,
  BestChartAtMouse,
  MarkerAtMouse,
  ChartsOnPosition,
  ListAllCharts,
  ZoomOutAtMouse,
  ZoomInAtMouse,
};

std::string_view KeyActionName(TKeyAction action);

// A key press, as far as the map cares.
struct TKeyInput {
  enum Kind : uint8_t {
    Letter,       // ch is 'A'..'Z'
    Digit,        // ch is '0'..'9' (main keyboard, not the keypad)
    Space,
    Function,     // number is 1..24
    KeypadPlus,
    KeypadMinus,
    ControlKey,   // the Ctrl key itself
    AltKey,       // the Alt key itself
    Other,        // anything else (Shift, Escape, keypad digits, ...)
  };
  Kind kind = Other;
  char ch = 0;
  int number = 0;
  bool ctrl = false;

  // A letter, digit or space of the main keyboard; '+' and '-' stand for
  // the keypad keys.
  static TKeyInput Key(char c, bool ctrl = false);
  static TKeyInput F(int n, bool ctrl = false) { return {Function, 0, n, ctrl}; }
};

struct TKeyContext {
  bool chartLoaded = false;
  bool textFieldFocused = false;
};

struct TKeyDecision {
  bool handled = false;  // consumed: it never reaches the focused control
  TKeyAction action = TKeyAction::None;
  int shadeLevel = 0;    // 0..3 for TKeyAction::ShadeLevel
};

TKeyDecision DecideKey(const TKeyInput& key, const TKeyContext& context);

// Auto-repeat without pile-up. While a slow command runs, the keyboard keeps
// repeating and the repeats queue up; those that arrived while the command
// ran are dropped, so the command runs once more at most after the key is
// released. Times are the key events' own time stamps in milliseconds (the
// clock the window system stamps them with) plus the time the command took.
class TKeyRepeatGate {
 public:
  // A repeat generated before the end of the last handled command is dropped.
  bool ShouldDrop(uint64_t eventTime, bool autoRepeat) const {
    return autoRepeat && active_ && eventTime < busyUntil_;
  }
  // A command for the key stamped eventTime ran for durationMs.
  void Handled(uint64_t eventTime, uint64_t durationMs) {
    busyUntil_ = eventTime + durationMs;
    active_ = true;
  }

 private:
  uint64_t busyUntil_ = 0;
  bool active_ = false;
};
