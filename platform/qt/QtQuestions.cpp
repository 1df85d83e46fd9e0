#include "platform/qt/QtQuestions.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <vector>

namespace {

QMessageBox::Icon IconOf(unsigned flags) {
  switch (flags & mfIconMask) {
    case mfIconError:
      return QMessageBox::Critical;
    case mfIconQuestion:
      return QMessageBox::Question;
    case mfIconWarning:
      return QMessageBox::Warning;
    case mfIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The buttons in the order shown; the first is the default button.
std::vector<QMessageBox::StandardButton> ButtonsOf(unsigned flags) {
  switch (flags & mfButtonMask) {
    case mfOkCancel:
      return {QMessageBox::Ok, QMessageBox::Cancel};
    case mfYesNoCancel:
      return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case mfYesNo:
      return {QMessageBox::Yes, QMessageBox::No};
    default:
      return {QMessageBox::Ok};
  }
}

QMessageBox::StandardButton ButtonOfAnswer(int answer) {
  switch (answer) {
    case idYes:
      return QMessageBox::Yes;
    case idNo:
      return QMessageBox::No;
    case idCancel:
      return QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

}  // namespace

int TQtQuestions::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  QMessageBox box(IconOf(flags), QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::NoButton, QApplication::activeWindow());
  const std::vector<QMessageBox::StandardButton> buttons = ButtonsOf(flags);
  for (QMessageBox::StandardButton b : buttons) box.addButton(b);
  box.setDefaultButton(buttons.front());
  box.setEscapeButton(ButtonOfAnswer(DefaultAnswer(flags)));
  box.exec();

  QAbstractButton* clicked = box.clickedButton();
  switch (clicked ? box.standardButton(clicked) : QMessageBox::NoButton) {
    case QMessageBox::Ok:
      return idOk;
    case QMessageBox::Cancel:
      return idCancel;
    case QMessageBox::Yes:
      return idYes;
    case QMessageBox::No:
      return idNo;
    default:
      return DefaultAnswer(flags);
  }
}
