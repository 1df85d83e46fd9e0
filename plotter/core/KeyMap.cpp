#include "plotter/core/KeyMap.h"

#include <array>

std::string_view KeyActionName(TKeyAction action) {
  static constexpr std::array<std::string_view, 23> kNames = {
      "None",           "ManOverboard",      "ShadeLevel",        "ToggleAutomatic",
      "ToggleTrack",    "TogglePilot",       "AcknowledgeWaypoint", "ClearMarker",
      "LogBookEntry",   "PreferredCharts",   "BestChartForBoat",  "SmallerScaleChart",
      "PreviousChart",  "ToggleOutlines",    "ToggleDashboard",   "ToggleDoubleClickAction",
      "FindBoat",       "BestChartAtMouse",  "MarkerAtMouse",     "ChartsOnPosition",
      "ListAllCharts",  "ZoomOutAtMouse",    "ZoomInAtMouse",
  };
  const auto i = static_cast<size_t>(action);
  return i < kNames.size() ? kNames[i] : std::string_view("?");
}

TKeyInput TKeyInput::Key(char c, bool ctrl) {
  TKeyInput k;
  k.ctrl = ctrl;
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') {
    k.kind = Letter;
    k.ch = c;
  } else if (c >= '0' && c <= '9') {
    k.kind = Digit;
    k.ch = c;
  } else if (c == ' ') {
    k.kind = Space;
    k.ch = c;
  } else if (c == '+') {
    k.kind = KeypadPlus;
  } else if (c == '-') {
    k.kind = KeypadMinus;
  }
  return k;
}

namespace {

TKeyAction FunctionKeyAction(int n) {
  switch (n) {
    case 2: return TKeyAction::ToggleAutomatic;
    case 3: return TKeyAction::ToggleTrack;
    case 4: return TKeyAction::TogglePilot;
    case 5: return TKeyAction::AcknowledgeWaypoint;
    case 6: return TKeyAction::ClearMarker;
    case 7: return TKeyAction::LogBookEntry;
    case 8: return TKeyAction::PreferredCharts;
    case 9: return TKeyAction::BestChartForBoat;
    case 10: return TKeyAction::SmallerScaleChart;
    case 11: return TKeyAction::PreviousChart;
    case 12: return TKeyAction::ToggleOutlines;
    default: return TKeyAction::None;  // F13..F24: taken, nothing happens
  }
}

TKeyAction CtrlLetterAction(char c) {
  switch (c) {
    case 'A': return TKeyAction::ToggleAutomatic;
    case 'T': return TKeyAction::ToggleTrack;
    case 'P': return TKeyAction::TogglePilot;
    case 'N': return TKeyAction::AcknowledgeWaypoint;
    case 'H': return TKeyAction::ClearMarker;
    case 'L': return TKeyAction::LogBookEntry;
    case 'C': return TKeyAction::PreferredCharts;
    case 'B': return TKeyAction::BestChartForBoat;
    case 'S': return TKeyAction::SmallerScaleChart;
    case 'V': return TKeyAction::PreviousChart;
    case 'O': return TKeyAction::ToggleOutlines;
    case 'D': return TKeyAction::ToggleDashboard;
    case 'E': return TKeyAction::ToggleDoubleClickAction;
    case 'F': return TKeyAction::FindBoat;
    case 'G': return TKeyAction::BestChartAtMouse;
    case 'M': return TKeyAction::MarkerAtMouse;
    case 'Q': return TKeyAction::ChartsOnPosition;
    case 'W': return TKeyAction::ListAllCharts;
    case 'X': return TKeyAction::ZoomOutAtMouse;
    case 'Z': return TKeyAction::ZoomInAtMouse;
    default: return TKeyAction::None;
  }
}

bool IsEditingKey(const TKeyInput& key) {
  if (key.kind != TKeyInput::Letter) return false;
  switch (key.ch) {
    case 'A':
    case 'C':
    case 'V':
    case 'X':
    case 'Z':
      return true;
    default:
      return false;
  }
}

}  // namespace

TKeyDecision DecideKey(const TKeyInput& key, const TKeyContext& context) {
  TKeyDecision d;
  switch (key.kind) {
    case TKeyInput::KeypadPlus:
      return {true, TKeyAction::ZoomInAtMouse, 0};
    case TKeyInput::KeypadMinus:
      return {true, TKeyAction::ZoomOutAtMouse, 0};
    case TKeyInput::Function:
      if (key.number >= 2 && key.number <= 24) return {true, FunctionKeyAction(key.number), 0};
      break;
    default:
      break;
  }
  if (!key.ctrl || key.kind == TKeyInput::ControlKey || key.kind == TKeyInput::AltKey) return d;
  if (!context.chartLoaded) return d;
  if (context.textFieldFocused && IsEditingKey(key)) return d;
  d.handled = true;
  switch (key.kind) {
    case TKeyInput::Space:
      d.action = TKeyAction::ManOverboard;
      break;
    case TKeyInput::Digit:
      if (key.ch >= '1' && key.ch <= '4') {
        d.action = TKeyAction::ShadeLevel;
        d.shadeLevel = key.ch - '1';
      }
      break;
    case TKeyInput::Letter:
      d.action = CtrlLetterAction(key.ch);
      break;
    default:
      break;
  }
  return d;
}
