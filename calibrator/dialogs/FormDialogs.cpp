#include "calibrator/dialogs/FormDialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QString>

#include "calibrator/start/core/TeskorStart.h"
#include "foundation/qt/Language.h"
#include "platform/Questions.h"

namespace {

// The language file to translate from; "SAVE:<file>" is the plotter's
// request to write one, nothing for this tool.
std::optional<std::string> LanguageToLoad(const std::string& file) {
  if (file.empty() || QString::fromStdString(file).startsWith(QStringLiteral("SAVE:"), Qt::CaseInsensitive))
    return std::nullopt;
  return file;
}

}  // namespace

TFormDialogs::TFormDialogs(QWidget& window, const TTeskorSettings& settings) : window_(window), settings_(settings) {}

void TFormDialogs::Say(const std::string& text, unsigned icon) { ProgramMessage(text, mfOk | icon); }

bool TFormDialogs::AskYes(const std::string& text) { return ProgramMessage(text, mfYesNo | mfIconQuestion) == idYes; }

std::optional<std::string> TFormDialogs::Ask(const std::string& title, const std::string& prompt,
                                             const std::string& offered) {
  if (InputQuery) return InputQuery(title, prompt, offered);
  return AskText(&window_, title, prompt, offered);
}

int TFormDialogs::Exec(QDialog& dialog) { return RunDialog ? RunDialog(dialog) : dialog.exec(); }

std::optional<QColor> TFormDialogs::ChooseColour(const QColor& current) {
  if (PickColour) return PickColour(current);
  const QColor c = QColorDialog::getColor(current, &window_);
  if (!c.isValid()) return std::nullopt;
  return c;
}

void TFormDialogs::Translate(const std::vector<QWidget*>& windows) {
  if (const auto file = LanguageToLoad(settings_.LanguageFile)) ApplyLanguage(windows, *file, false);
}
