// The calibration tool's messages, questions and modal windows, for every
// feature of its window: message boxes captioned with the program's title
// (through the installed questions, platform/Questions.h), the input box,
// modal windows, the colour dialog, and the language file's texts for a
// window. Tests answer the input box, the modal windows and the colour
// dialog through the hooks.
#pragma once

#include <QColor>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sharedui/DialogSupport.h"

class QDialog;
class QWidget;
struct TTeskorSettings;

class TFormDialogs {
 public:
  // The dialogs open over `window`; windows are translated with the
  // language file of `settings` as it stands then.
  TFormDialogs(QWidget& window, const TTeskorSettings& settings);

  // A message with "OK" and the icon (mfIcon...).
  void Say(const std::string& text, unsigned icon);
  // A Yes/No question: true for Yes.
  bool AskYes(const std::string& text);
  // One line of text; nullopt when the user cancelled.
  std::optional<std::string> Ask(const std::string& title, const std::string& prompt, const std::string& offered);
  // Runs a modal window: its result.
  int Exec(QDialog& dialog);
  // The colour dialog over `current`; nullopt when the user cancelled.
  std::optional<QColor> ChooseColour(const QColor& current);
  // The language file's texts for these windows (nothing without one).
  void Translate(const std::vector<QWidget*>& windows);

  // ---- hooks (tests replace them); without one, the window system's ----
  TInputQuery InputQuery;
  std::function<int(QDialog&)> RunDialog;
  std::function<std::optional<QColor>(const QColor& current)> PickColour;

 private:
  QWidget& window_;
  const TTeskorSettings& settings_;
};
