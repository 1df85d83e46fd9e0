// What the shared windows need of the program around them: message boxes
// captioned with the program's title, and input boxes that tests can answer.
#pragma once

#include <functional>
#include <optional>
#include <string>

class QWidget;

// A message box captioned with the application's name (the plotter's
// "Brismare II", the calibration tool's "Brismare Calibration Utility"),
// through the installed questions (platform/Questions.h).
int ProgramMessage(const std::string& text, unsigned flags);

// Asks for one line of text: title, prompt and the text offered. nullopt
// when the user cancelled.
using TInputQuery =
    std::function<std::optional<std::string>(const std::string& title, const std::string& prompt,
                                             const std::string& offered)>;
// The input box of the window system, over `parent`.
std::optional<std::string> AskText(QWidget* parent, const std::string& title, const std::string& prompt,
                                   const std::string& offered);

// Runs `action` at every double-click on `widget` (and on its children that
// pass mouse events on). The watcher belongs to the widget.
void OnDoubleClick(QWidget* widget, std::function<void()> action);
