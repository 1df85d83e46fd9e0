// Message boxes of the window programs.
#pragma once

#include "platform/Questions.h"

// Shows a modal QMessageBox over the active window with the caption, the
// icon and the buttons of the flags, and returns the button pressed
// (idOk, idCancel, idYes, idNo). The first button is the default one; Esc
// and closing the box give No, Cancel or OK as DefaultAnswer does.
class TQtQuestions final : public IUserQuestions {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
};
